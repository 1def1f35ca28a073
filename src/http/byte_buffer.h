// A growable byte store.
#pragma once

// The content is start .. pos; capacity starts at 10 and only ever doubles.
// The buffer never releases its block: its owner does, or hands it on.
struct ByteBuffer {
    char* start;
    char* pos;
    int capacity;
};

char* ByteBufferInit(ByteBuffer* buffer);
void ByteBufferGrow(ByteBuffer* buffer);
void ByteBufferPutByte(ByteBuffer* buffer, char byte);
void ByteBufferAppend(ByteBuffer* buffer, const char* source, unsigned int count);

// The buffers report nothing: a buffer whose block could not be had, or
// that its owner gave up on, has no block at all (start null) and takes no
// more bytes.
unsigned int ByteBufferUsed(const ByteBuffer* buffer);
void ByteBufferDrop(ByteBuffer* buffer);

// Ends the content with a NUL, which the content does not count, growing
// the block when it is exactly full. False when the buffer has no block.
bool ByteBufferTerminate(ByteBuffer* buffer);

// Growable byte store for the HTTP exchange, and the release of a response.
#include "http/byte_buffer.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

const int kInitialCapacity = 10;

} // namespace

char* ByteBufferInit(ByteBuffer* buffer) {
    buffer->start = (char*)std::malloc(kInitialCapacity);
    buffer->pos = buffer->start;
    buffer->capacity = buffer->start != nullptr ? kInitialCapacity : 0;
    return buffer->start;
}

void ByteBufferGrow(ByteBuffer* buffer) {
    if (buffer->start == nullptr) {
        return;
    }
    if (buffer->capacity > INT_MAX / 2) {
        ByteBufferDrop(buffer);
        return;
    }
    unsigned int used = ByteBufferUsed(buffer);
    char* block = (char*)std::realloc(buffer->start, (size_t)buffer->capacity * 2);
    if (block == nullptr) {
        ByteBufferDrop(buffer);
        return;
    }
    buffer->start = block;
    buffer->pos = block + used;
    buffer->capacity *= 2;
}

void ByteBufferPutByte(ByteBuffer* buffer, char byte) {
    if (ByteBufferUsed(buffer) >= (unsigned int)buffer->capacity) {
        ByteBufferGrow(buffer);
    }
    if (buffer->start == nullptr) {
        return;
    }
    *buffer->pos++ = byte;
}

void ByteBufferAppend(ByteBuffer* buffer, const char* source, unsigned int count) {
    // Summed in 64 bits: a count near 4 GB must not wrap past the check.
    while (buffer->start != nullptr &&
           (unsigned long long)ByteBufferUsed(buffer) + count >= (unsigned int)buffer->capacity) {
        ByteBufferGrow(buffer);
    }
    if (buffer->start == nullptr) {
        return;
    }
    std::memcpy(buffer->pos, source, count);
    buffer->pos += count;
}

unsigned int ByteBufferUsed(const ByteBuffer* buffer) {
    return (unsigned int)(buffer->pos - buffer->start);
}

void ByteBufferDrop(ByteBuffer* buffer) {
    std::free(buffer->start);
    buffer->start = nullptr;
    buffer->pos = nullptr;
    buffer->capacity = 0;
}

bool ByteBufferTerminate(ByteBuffer* buffer) {
    if (buffer->start != nullptr && ByteBufferUsed(buffer) == (unsigned int)buffer->capacity) {
        ByteBufferGrow(buffer);
    }
    if (buffer->start == nullptr) {
        return false;
    }
    *buffer->pos = '\0';
    return true;
}

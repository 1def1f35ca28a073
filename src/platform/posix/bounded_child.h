// Work done in a child process that can outlast neither its time nor its
// memory, and the one plain record it hands back: for work over a library
// that keeps whatever a peer sends for as long as the peer sends it.
#pragma once

#include <sys/types.h>

struct BoundedChild {
    pid_t process;      // the child's, in the parent
    int pipe;           // the parent's end to read, or the child's to write
    long long deadline; // a moment of SteadyMilliseconds
};

const int kNoChild = -1;
const int kInParent = 0;
const int kInChild = 1;

// Starts a child that may run for milliseconds and map extraBytes beyond
// what the program maps now. Gives kInChild in the child, which does its
// work and ends with AnswerParent; kInParent in the parent, which then
// calls AwaitChild; kNoChild when no child can be had. Called while the
// program runs no other thread: the child gets only the caller's.
int StartBoundedChild(BoundedChild* child, int milliseconds, long long extraBytes);

// In the child: sends size bytes of record (at most 512, which every pipe
// carries whole) to the parent and ends the child.
[[noreturn]] void AnswerParent(const BoundedChild* child, const void* record, int size);

// In the parent: waits for the child's record until its time is up, then
// ends and reaps the child in any case. False, and the record zeroed, when
// no whole record came.
bool AwaitChild(BoundedChild* child, void* record, int size);

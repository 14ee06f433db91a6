#pragma once

namespace tovrin {

// Hands the memory that the allocator keeps free after a large piece of work
// (a report, an import) back to the system, so that the program's resident
// size falls back to what it holds. Does nothing where the allocator cannot.
void returnFreeMemory();

// Calls returnFreeMemory when the scope ends, after everything declared in
// it later has been destroyed.
class ReturnFreeMemoryAtEnd {
public:
    ReturnFreeMemoryAtEnd() = default;
    ReturnFreeMemoryAtEnd(const ReturnFreeMemoryAtEnd&) = delete;
    ReturnFreeMemoryAtEnd& operator=(const ReturnFreeMemoryAtEnd&) = delete;
    ~ReturnFreeMemoryAtEnd() { returnFreeMemory(); }
};

}  // namespace tovrin

#pragma once

// Hands memory the allocator keeps after frees (whole pages, such as those of a closed document's pictures) back
// to the system. Runs on a worker thread; does nothing where the allocator offers no such call.
namespace FreedMemory {

void returnToSystem();

} // namespace FreedMemory

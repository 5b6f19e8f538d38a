// Global memory handles.

#include "platform/gui/GlobalMemory.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace {

struct TBlock {
    std::vector<unsigned char> Bytes;
    int Locks = 0;
};

std::mutex blocksMutex;

// Never destroyed: objects that outlive main (the printer object's device mode among them) still
// free their blocks at exit.
std::map<HGLOBAL, std::unique_ptr<TBlock>>& Blocks()
{
    static auto* blocks = new std::map<HGLOBAL, std::unique_ptr<TBlock>>;
    return *blocks;
}

TBlock* FindBlock(HGLOBAL memory)
{
    auto it = Blocks().find(memory);
    return it == Blocks().end() ? nullptr : it->second.get();
}

} // namespace

HGLOBAL GlobalAlloc(UINT, std::size_t size)
{
    std::lock_guard<std::mutex> lock(blocksMutex);
    auto block = std::make_unique<TBlock>();
    block->Bytes.assign(size, 0);
    static std::uintptr_t next = 0x100000;
    next += 0x10;
    auto handle = reinterpret_cast<HGLOBAL>(next);
    Blocks()[handle] = std::move(block);
    return handle;
}

HGLOBAL GlobalReAlloc(HGLOBAL memory, std::size_t size, UINT flags)
{
    std::lock_guard<std::mutex> lock(blocksMutex);
    TBlock* block = FindBlock(memory);
    if (!block)
        return nullptr;
    const std::size_t old = block->Bytes.size();
    block->Bytes.resize(size);
    if ((flags & GMEM_ZEROINIT) && size > old)
        std::fill(block->Bytes.begin() + static_cast<std::ptrdiff_t>(old), block->Bytes.end(), 0);
    return memory;
}

void* GlobalLock(HGLOBAL memory)
{
    std::lock_guard<std::mutex> lock(blocksMutex);
    TBlock* block = FindBlock(memory);
    if (!block)
        return nullptr;
    ++block->Locks;
    return block->Bytes.data();
}

BOOL GlobalUnlock(HGLOBAL memory)
{
    std::lock_guard<std::mutex> lock(blocksMutex);
    TBlock* block = FindBlock(memory);
    if (!block || block->Locks == 0)
        return FALSE;
    return --block->Locks > 0 ? TRUE : FALSE;
}

std::size_t GlobalSize(HGLOBAL memory)
{
    std::lock_guard<std::mutex> lock(blocksMutex);
    TBlock* block = FindBlock(memory);
    return block ? block->Bytes.size() : 0;
}

HGLOBAL GlobalFree(HGLOBAL memory)
{
    std::lock_guard<std::mutex> lock(blocksMutex);
    return Blocks().erase(memory) ? nullptr : memory;
}

bool IsGlobalHandle(HGLOBAL memory)
{
    std::lock_guard<std::mutex> lock(blocksMutex);
    return FindBlock(memory) != nullptr;
}

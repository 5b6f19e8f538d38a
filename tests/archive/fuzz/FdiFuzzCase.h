#pragma once
// One run of the cabinet reader's fuzz target: the input is the only cabinet there is, read from
// memory, and every file it holds is written into memory; a run stops past 4 MiB of output.

#include "archive/CabinetApi.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace FdiFuzz {

constexpr std::size_t maxOutput = 4u << 20;
constexpr INT_PTR outputHandle = 7;

struct TState {
    const std::uint8_t* Data = nullptr;
    std::size_t Size = 0;
    std::map<INT_PTR, std::size_t> Positions; // open readers of the input
    INT_PTR NextHandle = 100;
    std::size_t Written = 0;
};

inline TState& State()
{
    static TState state;
    return state;
}

inline void* Alloc(ULONG cb) { return std::malloc(cb == 0 ? 1 : cb); }
inline void Free(void* memory) { std::free(memory); }

inline INT_PTR Open(char* name, int, int)
{
    // Only the input exists; any other cabinet of a set is missing.
    if (std::strcmp(name, "input.cab") != 0)
        return -1;
    const INT_PTR handle = State().NextHandle++;
    State().Positions[handle] = 0;
    return handle;
}

inline UINT Read(INT_PTR handle, void* buffer, UINT count)
{
    auto found = State().Positions.find(handle);
    if (found == State().Positions.end())
        return static_cast<UINT>(-1);
    const std::size_t position = found->second;
    const std::size_t available = position < State().Size ? State().Size - position : 0;
    const std::size_t moved = count < available ? count : available;
    std::memcpy(buffer, State().Data + position, moved);
    found->second += moved;
    return static_cast<UINT>(moved);
}

inline UINT Write(INT_PTR handle, void*, UINT count)
{
    if (handle != outputHandle || State().Written + count > maxOutput)
        return static_cast<UINT>(-1);
    State().Written += count;
    return count;
}

inline int Close(INT_PTR handle)
{
    State().Positions.erase(handle);
    return 0;
}

inline long Seek(INT_PTR handle, long distance, int origin)
{
    auto found = State().Positions.find(handle);
    if (found == State().Positions.end())
        return -1;
    const long base = origin == 0 ? 0 : origin == 1 ? static_cast<long>(found->second) : static_cast<long>(State().Size);
    if (base + distance < 0)
        return -1;
    found->second = static_cast<std::size_t>(base + distance);
    return static_cast<long>(found->second);
}

inline INT_PTR Notify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION)
{
    switch (type) {
    case fdintCOPY_FILE:
        return State().Written >= maxOutput ? -1 : outputHandle;
    case fdintCLOSE_FILE_INFO:
        return 1;
    default:
        return 0;
    }
}

} // namespace FdiFuzz

inline void RunFdiFuzzCase(const std::uint8_t* data, std::size_t size)
{
    using namespace FdiFuzz;
    TState& state = State();
    state = TState{};
    state.Data = data;
    state.Size = size;
    ERF error;
    HFDI context = FDICreate(Alloc, Free, Open, Read, Write, Close, Seek, cpuUNKNOWN, &error);
    if (!context)
        std::abort();
    char name[] = "input.cab";
    char path[] = "";
    FDICopy(context, name, path, 0, Notify, nullptr, nullptr);
    FDIDestroy(context);
    if (!state.Positions.empty())
        std::abort(); // every reader of the input was closed
}

#include "material/material_loader.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "graphics/graphics_context.h"
#include "lua.hpp"
#include "material/lua_error_position.h"
#include "material/material_reader.h"
#include "material/material_table.h"

namespace {

const char materialPath[] = "data/material.material";

// Far beyond what any material needs (a table constructor takes a few dozen),
// yet a fraction of a second: a material that never returns must not hold
// start-up forever.
const int instructionBudget = 100000000;

// One instruction may copy a text of tens of megabytes, so the count alone
// does not bound the time. The hook also reads the clock every hundred
// instructions, which lets such a file run on only a second or so past it.
const int hookInterval = 100;

// The chunk may use three quarters of the cap, 144 MiB, room for the deepest
// recursion. The rest is kept for reading what it returned: those reads may
// still make a few key strings, and so double the string table (41 MiB at most,
// after a chunk that filled its share with empty strings), outside protected
// mode, where running out of memory would make Lua panic and abort the program.
const std::size_t chunkMemoryCap = materialMemoryCap / 4 * 3;

// What one material's state may still spend: the bytes it holds, counted in
// its allocator, and the most it may hold; and what the running chunk has
// left of its instructions and its time, counted in its hook. The allocator's
// own record, so the hook finds it through the state.
struct MaterialBudget {
    std::size_t used;
    std::size_t cap;
    int instructionsLeft;
    ULONGLONG deadline;
};

// What a block takes from the heap: Windows' heap adds a header and rounds to
// 16 bytes, which a file of many tiny strings would otherwise have for free,
// half as much again as its count.
std::size_t HeapFootprint(std::size_t size) {
    return (size + 15) / 16 * 16 + 16;
}

// Lua's default allocator with a ceiling, as Lua guards in servers do it: a new
// block or a growth past the cap is refused, and Lua raises its own "not enough
// memory". A growing block may be copied, so it needs room beside the old one.
// Freeing and shrinking always succeed, as Lua requires.
void* AllocateWithinBudget(void* userData, void* block, std::size_t oldSize, std::size_t newSize) {
    MaterialBudget& budget = *static_cast<MaterialBudget*>(userData);
    // For a new block Lua passes the kind of object in oldSize, not a size.
    const std::size_t held = block != nullptr ? HeapFootprint(oldSize) : 0;
    if (newSize == 0) {
        std::free(block);
        budget.used -= held;
        return nullptr;
    }
    const std::size_t footprint = HeapFootprint(newSize);
    if (footprint > held && footprint > budget.cap - budget.used) {
        return nullptr;
    }
    void* resized = std::realloc(block, newSize);
    if (resized != nullptr) {
        budget.used = budget.used - held + footprint;
    }
    return resized;
}

// What luaL_newstate installs: an error outside protected mode is written
// before Lua aborts.
int ReportPanic(lua_State* L) {
    const char* text = lua_tostring(L, -1);
    std::fprintf(stderr, "PANIC: unprotected error in call to Lua API (%s)\n",
                 text != nullptr ? text : "?");
    std::fflush(stderr);
    return 0;
}

// A count hook runs as part of the Lua function it interrupts, so the error
// gets that function's position just as Lua's own runtime errors do.
void StopEndlessChunk(lua_State* L, lua_Debug* debug) {
    void* userData = nullptr;
    lua_getallocf(L, &userData);
    MaterialBudget& budget = *static_cast<MaterialBudget*>(userData);
    budget.instructionsLeft -= hookInterval;
    const bool outOfInstructions = budget.instructionsLeft <= 0;
    if (!outOfInstructions && GetTickCount64() < budget.deadline) {
        return;
    }
    lua_getinfo(L, "Sl", debug);
    if (outOfInstructions) {
        lua_pushfstring(L, "%s:%d: the asset file did not finish within %d instructions",
                        debug->short_src, debug->currentline, instructionBudget);
    } else {
        lua_pushfstring(L, "%s:%d: the asset file did not finish within %d seconds",
                        debug->short_src, debug->currentline, materialTimeBudgetSeconds);
    }
    lua_error(L);
}

// The name that Lua's runtime errors give the loaded chunk at -1: the file's
// path for a source file, the embedded source name for a precompiled chunk
// ("?" when it was stripped).
std::string GetChunkId(lua_State* L) {
    lua_Debug debug;
    lua_pushvalue(L, -1);
    lua_getinfo(L, ">S", &debug);
    return debug.short_src;
}

// The name Lua's messages give a source file loaded from path, shortened as
// Lua shortens a long one: asked of Lua, with an empty chunk of that name.
std::string SourceChunkId(lua_State* L, const char* path) {
    if (luaL_loadbuffer(L, "", 0, ("@" + std::string(path)).c_str()) != LUA_OK) {
        lua_pop(L, 1);
        return path;
    }
    const std::string chunkId = GetChunkId(L);
    lua_pop(L, 1);
    return chunkId;
}

// Runs the file and leaves what it returned on the stack; on an error, reports
// it and leaves the stack empty. The clock starts before the first byte is
// read: parsing a crafted file can take as long as running one.
bool RunMaterialFile(lua_State* L, const char* path, MaterialBudget& budget,
                     std::ostream& errors) {
    budget.instructionsLeft = instructionBudget;
    budget.deadline = GetTickCount64() + materialTimeBudgetSeconds * 1000;
    const std::string sourceId = SourceChunkId(L, path);
    const int loadStatus = LoadMaterialChunk(L, path, sourceId.c_str(), budget.deadline);
    if (loadStatus != LUA_OK) {
        // Errors that carry no position, such as a precompiled chunk's or the
        // file's, are left alone by the rewrite.
        ReportLuaError(L, sourceId.c_str(), errors);
        return false;
    }
    const std::string chunkId = GetChunkId(L);
    lua_sethook(L, StopEndlessChunk, LUA_MASKCOUNT, hookInterval);
    const int callStatus = lua_pcall(L, 0, LUA_MULTRET, 0);
    if (callStatus != LUA_OK) {
        ReportLuaError(L, callStatus == LUA_ERRRUN ? chunkId.c_str() : nullptr, errors);
        return false;
    }
    return true;
}

} // namespace

void ReportLuaError(lua_State* L, const char* chunkId, std::ostream& errors) {
    std::size_t length = 0;
    const char* text = lua_tolstring(L, -1, &length);
    if (text == nullptr) {
        errors << "The asset file failed with an error value that is not text (a "
               << lua_typename(L, lua_type(L, -1)) << ")\n";
    } else if (chunkId == nullptr) {
        errors << std::string(text, length);
    } else {
        errors << RewriteErrorPosition(std::string(text, length), chunkId);
    }
    lua_pop(L, 1);
}

bool LoadMaterialFrom(const char* path, Material& material, const MaterialOutput& output,
                      MaterialInspection inspect, void* context) {
    MaterialBudget budget = {0, chunkMemoryCap, 0, 0};
    lua_State* L = lua_newstate(AllocateWithinBudget, &budget);
    if (L == nullptr) {
        output.errors << "Failed to create a new Lua state\n";
        return false;
    }
    lua_atpanic(L, ReportPanic);
    // No library is opened: the file describes data and may use the language
    // alone.
    bool loaded = RunMaterialFile(L, path, budget, output.errors);
    budget.cap = materialMemoryCap;
    if (loaded && inspect != nullptr) {
        inspect(L, context);
    }
    loaded = loaded && ReadAssetTable(L, material, output);
    lua_close(L);
    return loaded;
}

bool LoadMaterial() {
    const MaterialOutput output = {std::cerr, g_graphics.window, true};
    return LoadMaterialFrom(materialPath, g_graphics.material, output);
}

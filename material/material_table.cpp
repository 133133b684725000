#include "material/material_table.h"

#include <algorithm>

#include "lua.hpp"

namespace {

const char noColorModifierCaption[] = "No ColorModifier";

// Replaces the table at -1 by its field key when that is a table; otherwise
// says so, pops the field and gives false.
bool PushNestedTable(lua_State* L, const char* key, std::ostream& errors) {
    lua_pushstring(L, key);
    lua_gettable(L, -2);
    if (lua_type(L, -1) == LUA_TTABLE) {
        return true;
    }
    errors << "The value at \"" << key << "\" must be a table (instead of a "
           << lua_typename(L, lua_type(L, -1)) << ")\n";
    lua_pop(L, 1);
    return false;
}

// Windows opens no path of more than 32,767 UTF-16 units, and no ANSI code
// page spells one in more than three bytes: a longer text names no file, and
// cut to this length it still names none. The two copies outlive the Lua state
// and its cap, so they must stay small.
const std::size_t longestPathCopy = 128 * 1024;

void ReadPath(lua_State* L, const char* key, std::string& path) {
    lua_pushstring(L, key);
    lua_gettable(L, -2);
    // A number counts too, as Lua's text for it. The path ends at its first
    // zero byte, all a file name can hold.
    if (lua_isstring(L, -1)) {
        std::size_t length = 0;
        const char* text = lua_tolstring(L, -1, &length);
        path.assign(text, std::find(text, text + std::min(length, longestPathCopy), '\0'));
    }
    lua_pop(L, 1);
}

// With the array at -1. Components read before a failing element stay stored.
bool ReadColorComponents(lua_State* L, float (&color)[3]) {
    for (int k = 1; k <= 3; ++k) {
        lua_pushinteger(L, k);
        lua_gettable(L, -2);
        const bool isNumber = lua_isnumber(L, -1) != 0;
        if (isNumber) {
            color[k - 1] = static_cast<float>(lua_tonumber(L, -1));
        }
        lua_pop(L, 1);
        if (!isNumber) {
            return false;
        }
    }
    return true;
}

} // namespace

bool ReadAssetTable(lua_State* L, Material& material, const MaterialOutput& output) {
    const int count = lua_gettop(L);
    if (count != 1) {
        output.errors << "Asset files must return a single table (instead of " << count
                      << " values)\n";
        lua_pop(L, count);
        return false;
    }
    if (lua_type(L, -1) != LUA_TTABLE) {
        output.errors << "Asset files must return a table (instead of a "
                      << lua_typename(L, lua_type(L, -1)) << ")\n";
        lua_pop(L, 1);
        return false;
    }
    const bool read = ReadShaders(L, material, output) && ReadConstants(L, material, output);
    lua_pop(L, 1);
    return read;
}

bool ReadShaders(lua_State* L, Material& material, const MaterialOutput& output) {
    if (!PushNestedTable(L, shadersKey, output.errors)) {
        return false;
    }
    const bool read = ReadShaderPaths(L, material);
    lua_pop(L, 1);
    return read;
}

bool ReadConstants(lua_State* L, Material& material, const MaterialOutput& output) {
    if (!PushNestedTable(L, constantsKey, output.errors)) {
        return false;
    }
    const bool read = ReadColorModifier(L, material, output);
    lua_pop(L, 1);
    return read;
}

bool ReadShaderPaths(lua_State* L, Material& material) {
    ReadPath(L, vertexShaderKey, material.vertexShaderPath);
    ReadPath(L, fragmentShaderKey, material.fragmentShaderPath);
    return true;
}

bool ReadColorModifier(lua_State* L, Material& material, const MaterialOutput& output) {
    lua_pushstring(L, colorModifierName);
    lua_gettable(L, -2);
    const bool read =
        lua_type(L, -1) == LUA_TTABLE && ReadColorComponents(L, material.colorModifier);
    if (!read) {
        if (output.showBoxes) {
            MessageBoxA(output.boxOwner, noColorModifierText, noColorModifierCaption,
                        MB_OK | MB_ICONWARNING);
        } else {
            output.errors << noColorModifierText << "\n";
        }
        material.colorModifier[0] = useShaderDefaults;
    }
    lua_pop(L, 1);
    return read;
}

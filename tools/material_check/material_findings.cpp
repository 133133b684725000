#include "tools/material_check/material_findings.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>
#include <vector>

#include "lua.hpp"
#include "material/material_loader.h"
#include "material/material_table.h"

namespace {

// The keys the game reads at each level of the asset table.
const char* const topKeys[] = {shadersKey, constantsKey};
const char* const shaderKeys[] = {vertexShaderKey, fragmentShaderKey};
const char* const constantKeys[] = {colorModifierName};

// What the inspection saw of the table before the game read it.
struct Inspection {
    const std::string* path;
    Report* report;
    bool shadersTable;
    bool vertexPath;
    bool fragmentPath;
};

std::string Lowered(const std::string& text) {
    std::string lowered = text;
    for (char& c : lowered) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lowered;
}

// Edits (insertions, deletions, changes) between two texts, ignoring case.
std::size_t Distance(const std::string& a, const std::string& b) {
    const std::string x = Lowered(a), y = Lowered(b);
    std::vector<std::size_t> row(y.size() + 1);
    for (std::size_t j = 0; j <= y.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= x.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= y.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] != y[j - 1])});
            diagonal = above;
        }
    }
    return row[y.size()];
}

// The key at -2 as the file spells it: a string, or the value of another key.
std::string KeyText(lua_State* L) {
    if (lua_type(L, -2) == LUA_TSTRING) {
        return lua_tostring(L, -2);
    }
    if (lua_type(L, -2) == LUA_TNUMBER) {
        char text[32];
        std::snprintf(text, sizeof(text), "[%.14g]", lua_tonumber(L, -2));
        return text;
    }
    return std::string("[a ") + lua_typename(L, lua_type(L, -2)) + "]";
}

template <std::size_t N>
void WarnOfUnreadKeys(lua_State* L, const Inspection& seen, const std::string& where,
                      const char* const (&known)[N]) {
    lua_pushnil(L);
    while (lua_next(L, -2) != 0) {
        const std::string key = KeyText(L);
        lua_pop(L, 1);
        const auto same = [&](const char* k) { return key == k; };
        if (std::any_of(known, known + N, same)) {
            continue;
        }
        std::string text = where + key + " is not a key the game reads";
        for (const char* k : known) {
            if (Distance(key, k) <= 2) {
                text += "; did you mean " + where + k + "?";
                break;
            }
        }
        Warning(*seen.report, *seen.path, text);
    }
}

// With a table at -1: pushes its field key when that is a table.
bool PushTable(lua_State* L, const char* key) {
    lua_getfield(L, -1, key);
    if (lua_istable(L, -1)) {
        return true;
    }
    lua_pop(L, 1);
    return false;
}

bool HasPath(lua_State* L, const char* key) {
    lua_getfield(L, -1, key);
    const bool path = lua_isstring(L, -1) != 0;
    lua_pop(L, 1);
    return path;
}

// Runs before the game reads the table; reads only what is there, through
// no metatable (a file without libraries cannot set one).
void InspectAssetTable(lua_State* L, void* context) {
    Inspection& seen = *static_cast<Inspection*>(context);
    if (lua_gettop(L) != 1 || !lua_istable(L, -1)) {
        return;
    }
    WarnOfUnreadKeys(L, seen, "", topKeys);
    if (PushTable(L, shadersKey)) {
        seen.shadersTable = true;
        seen.vertexPath = HasPath(L, vertexShaderKey);
        seen.fragmentPath = HasPath(L, fragmentShaderKey);
        WarnOfUnreadKeys(L, seen, std::string(shadersKey) + ".", shaderKeys);
        lua_pop(L, 1);
    }
    if (PushTable(L, constantsKey)) {
        WarnOfUnreadKeys(L, seen, std::string(constantsKey) + ".", constantKeys);
        lua_pop(L, 1);
    }
}

// The game's diagnostics, a line each: Lua's already carry the file and the
// line; the game's own texts get the file's name.
void ReportDiagnostics(const std::string& text, const std::string& path, Report& report) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty()) {
            continue;
        }
        if (line.find("): error: ") != std::string::npos) {
            ErrorLine(report, line);
        } else {
            Error(report, path, line);
        }
    }
}

void ReportMissingPath(const std::string& path, const char* key, const char* caption,
                       Report& report) {
    Error(report, path,
          std::string(shadersKey) + "." + key +
              " is missing or neither a string nor a number: the game opens an empty path "
              "and shows \"" + caption + "\"");
}

} // namespace

bool CheckMaterialFile(const std::string& path, Material& material, Report& report) {
    std::ostringstream errors;
    const MaterialOutput output = {errors, nullptr, false};
    Inspection seen = {&path, &report, false, false, false};
    const bool loaded = LoadMaterialFrom(path.c_str(), material, output, InspectAssetTable, &seen);
    ReportDiagnostics(errors.str(), path, report);
    if (seen.shadersTable && !seen.vertexPath) {
        ReportMissingPath(path, vertexShaderKey, "No Vertex Shader", report);
    }
    if (seen.shadersTable && !seen.fragmentPath) {
        ReportMissingPath(path, fragmentShaderKey, "No Fragment Shader", report);
    }
    return loaded && seen.vertexPath && seen.fragmentPath;
}

// Lua's messages for a file that cannot be opened or read come from the C
// runtime's fopen and strerror, which MSVC's runtime would have replaced by
// its own _s forms.
#define _CRT_SECURE_NO_WARNINGS

#include "material/material_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "lua.hpp"

namespace {

// Small enough that a parser slowed down by the shape of the file still asks
// for the next block within a fraction of a second.
const std::size_t blockSize = 4096;

// The file as Lua reads it: what was read ahead while skipping the first line
// waits in block until the first call of ReadBlock.
struct MaterialFile {
    const char* path;
    const char* chunkId; // the chunk's name in Lua's messages
    ULONGLONG deadline;
    std::FILE* file;
    bool precompiled;
    std::size_t bytesRead;
    std::size_t pending;
    std::size_t handed;
    // The line the parser has reached, and the line break that may be the
    // first of a pair.
    int line;
    char lastBreak;
    char block[blockSize];
};

int ReadChar(MaterialFile& f) {
    ++f.bytesRead;
    return std::getc(f.file);
}

// As Lua does: a byte order mark is dropped whole, a partial one is kept for
// the parser. Gives the first character after it.
int SkipByteOrderMark(MaterialFile& f) {
    const char mark[] = "\xEF\xBB\xBF";
    f.pending = 0;
    for (const char* expected = mark; *expected != '\0'; ++expected) {
        const int c = ReadChar(f);
        if (c == EOF || c != static_cast<unsigned char>(*expected)) {
            return c;
        }
        f.block[f.pending++] = static_cast<char>(c);
    }
    f.pending = 0;
    return ReadChar(f);
}

// c receives the first character the parser is to see. The size cap holds
// here too: a first line may run to the end of a huge file.
bool SkipFirstLineComment(MaterialFile& f, int& c) {
    c = SkipByteOrderMark(f);
    if (c != '#') {
        return false;
    }
    do {
        c = ReadChar(f);
    } while (c != EOF && c != '\n' && f.bytesRead <= materialSizeCap);
    c = ReadChar(f);
    return true;
}

// Gives the step that failed, or null. A precompiled chunk is read again in
// binary mode, as luaL_loadfile does.
const char* OpenMaterialFile(MaterialFile& f) {
    f.file = std::fopen(f.path, "r");
    if (f.file == nullptr) {
        return "open";
    }
    int c = 0;
    if (SkipFirstLineComment(f, c)) {
        // Lines are still counted from the file's first.
        f.block[f.pending++] = '\n';
    }
    if (c == LUA_SIGNATURE[0]) {
        f.file = std::freopen(f.path, "rb", f.file);
        if (f.file == nullptr) {
            return "reopen";
        }
        f.precompiled = true;
        f.bytesRead = 0;
        SkipFirstLineComment(f, c);
    }
    if (c != EOF) {
        f.block[f.pending++] = static_cast<char>(c);
    }
    return nullptr;
}

int PushFileFailure(lua_State* L, const char* step, const char* path, int error) {
    lua_pushfstring(L, "cannot %s %s: %s", step, path, std::strerror(error));
    return LUA_ERRFILE;
}

// The text of a limit passed while reading, at -1, becomes an error where the
// parser stands, in the form of Lua's own: a precompiled chunk has no lines.
void PushStopText(lua_State* L, const MaterialFile& f) {
    if (f.precompiled) {
        lua_pushfstring(L, "%s: %s", f.chunkId, lua_tostring(L, -1));
    } else {
        lua_pushfstring(L, "%s:%d: %s", f.chunkId, f.line, lua_tostring(L, -1));
    }
}

void PushSizeText(lua_State* L) {
    lua_pushfstring(L, "the asset file is larger than %d MiB",
                    static_cast<int>(materialSizeCap / (1024 * 1024)));
}

// Counts as Lua's lexer does: "\n", "\r", "\r\n" and "\n\r" each end a line.
void CountLines(MaterialFile& f) {
    for (std::size_t at = 0; at < f.handed; ++at) {
        const char c = f.block[at];
        if (c != '\n' && c != '\r') {
            f.lastBreak = 0;
        } else if (f.lastBreak != 0 && c != f.lastBreak) {
            f.lastBreak = 0;
        } else {
            ++f.line;
            f.lastBreak = c;
        }
    }
}

// An error raised here ends lua_load through its protected parser, like a
// syntax error. Nothing in this frame needs unwinding.
const char* ReadBlock(lua_State* L, void* data, std::size_t* size) {
    MaterialFile& f = *static_cast<MaterialFile*>(data);
    if (!f.precompiled) {
        CountLines(f);
    }
    if (GetTickCount64() >= f.deadline) {
        lua_pushfstring(L, "the asset file did not finish within %d seconds",
                        materialTimeBudgetSeconds);
        PushStopText(L, f);
        lua_error(L);
    }
    if (f.pending > 0) {
        f.handed = f.pending;
        f.pending = 0;
    } else {
        f.handed = std::fread(f.block, 1, blockSize, f.file);
        f.bytesRead += f.handed;
    }
    if (f.bytesRead > materialSizeCap) {
        PushSizeText(L);
        PushStopText(L, f);
        lua_error(L);
    }
    *size = f.handed;
    return f.block;
}

} // namespace

int LoadMaterialChunk(lua_State* L, const char* path, const char* chunkId, ULONGLONG deadline) {
    MaterialFile f = {};
    f.path = path;
    f.chunkId = chunkId;
    f.deadline = deadline;
    f.line = 1;
    if (const char* failedStep = OpenMaterialFile(f)) {
        return PushFileFailure(L, failedStep, path, errno);
    }
    int status = LUA_ERRSYNTAX;
    if (f.bytesRead > materialSizeCap) {
        PushSizeText(L);
        PushStopText(L, f);
        lua_remove(L, -2);
    } else {
        status = lua_load(L, ReadBlock, &f, ("@" + std::string(path)).c_str(), nullptr);
    }
    const bool readFailed = std::ferror(f.file) != 0;
    const int readError = errno;
    std::fclose(f.file);
    if (readFailed) {
        lua_pop(L, 1);
        return PushFileFailure(L, "read", path, readError);
    }
    return status;
}

#include "tests/material/precompiled_chunk.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "lua.hpp"

namespace {

int AppendToString(lua_State*, const void* bytes, size_t size, void* chunk) {
    static_cast<std::string*>(chunk)->append(static_cast<const char*>(bytes), size);
    return 0;
}

// Walks Lua 5.2's dump format (lundump.c), copying everything but the debug
// section of each function, which it replaces by empty lists.
class ChunkStripper {
public:
    explicit ChunkStripper(const std::string& chunk) : in_(chunk) {}

    std::string Strip() {
        const std::size_t headerSize = 18;
        Copy(headerSize);
        Function();
        if (at_ != in_.size()) {
            throw std::runtime_error("trailing bytes after the main function");
        }
        return out_;
    }

private:
    template <typename T> T Peek() const {
        if (at_ + sizeof(T) > in_.size()) {
            throw std::runtime_error("truncated chunk");
        }
        T value;
        std::memcpy(&value, in_.data() + at_, sizeof(T));
        return value;
    }
    void Copy(std::size_t size) {
        out_.append(in_, at_, size);
        at_ += size;
    }
    int CopyInt() {
        const int value = Peek<int>();
        Copy(sizeof(int));
        return value;
    }
    std::size_t StringSize() const { return sizeof(std::size_t) + Peek<std::size_t>(); }
    template <typename T> void AppendZero() { out_.append(sizeof(T), '\0'); }

    void Function() {
        Copy(2 * sizeof(int) + 3); // lines defined, parameters, vararg flag, stack size
        Copy(CopyInt() * sizeof(std::uint32_t)); // code
        for (int constants = CopyInt(); constants > 0; --constants) {
            const char type = in_[at_];
            Copy(1);
            if (type == LUA_TBOOLEAN) {
                Copy(1);
            } else if (type == LUA_TNUMBER) {
                Copy(sizeof(lua_Number));
            } else if (type == LUA_TSTRING) {
                Copy(StringSize());
            }
        }
        for (int functions = CopyInt(); functions > 0; --functions) {
            Function();
        }
        Copy(CopyInt() * 2); // upvalues: in stack, index
        SkipDebug();
        AppendZero<std::size_t>(); // no source
        AppendZero<int>();         // no line information
        AppendZero<int>();         // no locals
        AppendZero<int>();         // no upvalue names
    }
    void SkipDebug() {
        at_ += StringSize();
        at_ += sizeof(int) * (1 + Peek<int>());
        for (int locals = Take<int>(); locals > 0; --locals) {
            at_ += StringSize() + 2 * sizeof(int);
        }
        for (int names = Take<int>(); names > 0; --names) {
            at_ += StringSize();
        }
    }
    template <typename T> T Take() {
        const T value = Peek<T>();
        at_ += sizeof(T);
        return value;
    }

    const std::string& in_;
    std::size_t at_ = 0;
    std::string out_;
};

} // namespace

std::string PrecompileChunk(const char* source, const char* chunkName) {
    lua_State* L = luaL_newstate();
    std::string chunk;
    if (luaL_loadbuffer(L, source, std::strlen(source), chunkName) != LUA_OK ||
        lua_dump(L, AppendToString, &chunk) != 0) {
        lua_close(L);
        throw std::runtime_error("cannot precompile the chunk");
    }
    lua_close(L);
    return chunk;
}

std::string StripChunk(const std::string& chunk) {
    return ChunkStripper(chunk).Strip();
}

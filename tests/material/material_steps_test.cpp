// The steps of LoadMaterial on a state of the test, where the stack can be
// seen: each leaves it as it found it, on success and on every failure.
#include <iostream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "lua.hpp"
#include "material/lua_error_position.h"
#include "material/material_table.h"
#include "tests/support/message_boxes.h"

namespace {

class MaterialStepsTest : public ::testing::Test {
protected:
    void SetUp() override {
        L = luaL_newstate();
        previousErrors_ = std::cerr.rdbuf(errors_.rdbuf());
    }
    void TearDown() override {
        std::cerr.rdbuf(previousErrors_);
        lua_close(L);
    }

    // Pushes what the source returns.
    void Run(const char* source) {
        ASSERT_EQ(LUA_OK, luaL_loadstring(L, source));
        ASSERT_EQ(LUA_OK, lua_pcall(L, 0, LUA_MULTRET, 0));
    }

    std::string Errors() const { return errors_.str(); }

    lua_State* L = nullptr;
    Material material;
    const MaterialOutput output = {std::cerr, nullptr, true};
    MessageBoxCapture boxes;

private:
    std::ostringstream errors_;
    std::streambuf* previousErrors_ = nullptr;
};

const char* const assetTables[] = {
    "return { shaders = { vertexShader = 'v' }, constants = { g_colorModifier = { 1, 2, 3 } } }",
    "return { constants = {} }",
    "return { shaders = 1 }",
    "return { shaders = {}, constants = 5 }",
    "return { shaders = {}, constants = { g_colorModifier = 1 } }",
    "return { shaders = {}, constants = { g_colorModifier = { 1, 2 } } }",
};

TEST_F(MaterialStepsTest, TableStepsLeaveTheStackAsTheyFoundIt) {
    lua_pushstring(L, "below"); // a step that popped too much would take this
    for (const char* source : assetTables) {
        SCOPED_TRACE(source);
        Run(source);
        const int top = lua_gettop(L);
        ReadShaders(L, material, output);
        EXPECT_EQ(top, lua_gettop(L));
        ReadConstants(L, material, output);
        EXPECT_EQ(top, lua_gettop(L));
        lua_getfield(L, -1, "constants");
        if (lua_istable(L, -1)) {
            ReadColorModifier(L, material, output);
            EXPECT_EQ(top + 1, lua_gettop(L));
        }
        lua_settop(L, top - 1);
    }
    EXPECT_STREQ("below", lua_tostring(L, -1));
}

TEST_F(MaterialStepsTest, AssetTableStepPopsEverythingTheChunkReturned) {
    for (const char* source : {"return", "return {}, {}", "return 'text'", assetTables[0],
                               assetTables[2], assetTables[5]}) {
        SCOPED_TRACE(source);
        Run(source);
        ReadAssetTable(L, material, output);
        EXPECT_EQ(0, lua_gettop(L));
    }
}

TEST_F(MaterialStepsTest, ErrorValueThatIsNoTextIsNamedNotWritten) {
    lua_pushstring(L, "below");
    lua_newtable(L);
    ReportLuaError(L, "data/material.material", std::cerr);
    lua_pushboolean(L, 0);
    ReportLuaError(L, nullptr, std::cerr);
    EXPECT_EQ("The asset file failed with an error value that is not text (a table)\n"
              "The asset file failed with an error value that is not text (a boolean)\n",
              Errors());
    EXPECT_EQ(1, lua_gettop(L));
}

TEST_F(MaterialStepsTest, ErrorTextIsWrittenWholeWithoutLineBreak) {
    lua_pushlstring(L, "name:7: a\0b", 11);
    ReportLuaError(L, "name", std::cerr);
    lua_pushstring(L, "name:7: kept");
    ReportLuaError(L, nullptr, std::cerr);
    EXPECT_EQ(std::string("name(7): error: a\0bname:7: kept", 31), Errors());
    EXPECT_EQ(0, lua_gettop(L));
}

TEST(ErrorPosition, OnlyTheExactChunkNameAndALineAreRewritten) {
    // A name with colons of its own is still told apart from the line.
    EXPECT_EQ("C:/a:b.lua(12): error: m", RewriteErrorPosition("C:/a:b.lua:12: m", "C:/a:b.lua"));
    EXPECT_EQ("?(0): error: m", RewriteErrorPosition("?:0: m", "?"));
    for (const char* message : {"name: truncated precompiled chunk", "name:12:m", "name:: m",
                                "name:x: m", "other:1: m", "nam", "not enough memory"}) {
        EXPECT_EQ(message, RewriteErrorPosition(message, "name"));
    }
}

} // namespace

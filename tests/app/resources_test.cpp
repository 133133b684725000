#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>

#include "tests/support/child_process.h"

namespace {

#pragma pack(push, 2)
struct IconGroupHeader {
    WORD reserved;
    WORD type; // 1 for icons
    WORD count;
};
struct IconGroupEntry {
    BYTE width; // 0 means 256
    BYTE height;
    BYTE colorCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInResource;
    WORD id; // of the RT_ICON image
};
#pragma pack(pop)

class GameResources : public ::testing::Test {
protected:
    void SetUp() override {
        module = LoadLibraryExA(WindowsPath(GAME_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module) << WindowsPath(GAME_EXE);
    }
    void TearDown() override {
        if (module != nullptr) {
            FreeLibrary(module);
        }
    }

    std::string Resource(const char* type, int id) const {
        const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
        if (found == nullptr) {
            return "";
        }
        const void* bytes = LockResource(LoadResource(module, found));
        return std::string(static_cast<const char*>(bytes), SizeofResource(module, found));
    }

    // Size and bits per pixel of every image of an icon group, read from the
    // images themselves (the group's own fields may be left 0 by tools).
    std::multiset<std::pair<int, int>> IconImages(int groupId) const {
        std::multiset<std::pair<int, int>> images;
        const std::string group = Resource(MAKEINTRESOURCEA(14), groupId); // RT_GROUP_ICON
        if (group.size() < sizeof(IconGroupHeader)) {
            ADD_FAILURE() << "no icon group " << groupId;
            return images;
        }
        IconGroupHeader header;
        group.copy(reinterpret_cast<char*>(&header), sizeof(header));
        EXPECT_EQ(1, header.type);
        EXPECT_EQ(group.size(), sizeof(header) + header.count * sizeof(IconGroupEntry));
        for (WORD i = 0; i < header.count; ++i) {
            IconGroupEntry entry;
            group.copy(reinterpret_cast<char*>(&entry), sizeof(entry),
                       sizeof(header) + i * sizeof(entry));
            const std::string image = Resource(MAKEINTRESOURCEA(3), entry.id); // RT_ICON
            BITMAPINFOHEADER bitmap = {};
            if (image.size() < sizeof(bitmap)) {
                ADD_FAILURE() << "icon image " << entry.id << " of group " << groupId;
                continue;
            }
            image.copy(reinterpret_cast<char*>(&bitmap), sizeof(bitmap));
            // An icon bitmap's height counts the colour and the mask rows.
            EXPECT_EQ(bitmap.biWidth, entry.width);
            EXPECT_EQ(bitmap.biHeight / 2, entry.height);
            images.insert({bitmap.biWidth, bitmap.biBitCount});
        }
        return images;
    }

    HMODULE module = nullptr;
};

const std::multiset<std::pair<int, int>> eightImages = {{16, 4}, {16, 8},  {16, 32}, {32, 4},
                                                        {32, 8}, {32, 32}, {48, 8},  {48, 32}};

} // namespace

TEST_F(GameResources, ClassIconHasTheEightImages) {
    EXPECT_EQ(eightImages, IconImages(107));
}

TEST_F(GameResources, SmallIconHasTheEightImages) {
    EXPECT_EQ(eightImages, IconImages(108));
}

TEST_F(GameResources, ManifestRunsAsTheInvoker) {
    const std::string manifest = Resource(MAKEINTRESOURCEA(24), 1); // RT_MANIFEST
    const size_t element = manifest.find("<requestedExecutionLevel");
    ASSERT_NE(std::string::npos, element) << manifest;
    const std::string rest = manifest.substr(element, manifest.find('>', element) - element);
    EXPECT_NE(std::string::npos, rest.find("level=\"asInvoker\"")) << rest;
}

namespace {

// One string of the version resource, looked up through its own translation,
// as the file's Properties page does; empty if there is none.
std::string VersionString(const std::vector<char>& info, const char* name) {
    WORD* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translation), &length) ||
        length < 2 * sizeof(WORD)) {
        return "";
    }
    char path[64];
    std::snprintf(path, sizeof(path), "\\StringFileInfo\\%04x%04x\\%s", translation[0],
                  translation[1], name);
    char* value = nullptr;
    if (!VerQueryValueA(info.data(), path, reinterpret_cast<void**>(&value), &length)) {
        return "";
    }
    return value;
}

std::string DottedVersion(DWORD high, DWORD low) {
    return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." +
           std::to_string(HIWORD(low)) + "." + std::to_string(LOWORD(low));
}

} // namespace

TEST(GameVersion, PropertiesShowTheProjectVersionAndNames) {
    const std::string path = WindowsPath(GAME_EXE);
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), nullptr);
    ASSERT_NE(0u, size) << "no version resource in " << path;
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(GAME_VERSION ".0", DottedVersion(fixed->dwFileVersionMS, fixed->dwFileVersionLS));
    EXPECT_EQ(GAME_VERSION ".0",
              DottedVersion(fixed->dwProductVersionMS, fixed->dwProductVersionLS));

    EXPECT_EQ(GAME_VERSION, VersionString(info, "FileVersion"));
    EXPECT_EQ(GAME_VERSION, VersionString(info, "ProductVersion"));
    for (const char* name : {"ProductName", "FileDescription", "LegalCopyright"}) {
        EXPECT_NE("", VersionString(info, name)) << name;
    }
}

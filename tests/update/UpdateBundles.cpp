#include "tests/update/UpdateBundles.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <fstream>

#include "platform/PropertyList.h"

namespace norvane::testing {
namespace fs = std::filesystem;
namespace {
// Test files need no flush to the disk.
void write(const Path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    EXPECT_EQ(readFile(file), bytes) << file;
}
}  // namespace

Path makeBundle(const Path& app, const BundleRecipe& recipe) {
    fs::create_directories(app / "Contents/MacOS");
    Value::Dictionary info;
    info.emplace("CFBundleIdentifier", Value::string(recipe.identifier));
    info.emplace("CFBundleExecutable", Value::string("Norvane"));
    if (recipe.version) info.emplace("CFBundleVersion", Value::string(*recipe.version));
    if (recipe.shortVersion) info.emplace("CFBundleShortVersionString", Value::string(*recipe.shortVersion));
    write(app / "Contents/Info.plist", writePropertyList(Value::dictionary(std::move(info))));
    const Path executable = app / "Contents/MacOS/Norvane";
    write(executable, "#!/bin/sh\necho \"$0\" >> \"$NORVANE_MACHINE/started\"\n");
    fs::permissions(executable, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    if (!recipe.team.empty()) {
        std::string error;
        EXPECT_TRUE(signBundle(app, recipe.signedAs, recipe.team, {}, error, recipe.keys)) << error;
    }
    return app;
}

void setBuild(const Path& app, const std::string& build) {
    const Path file = app / "Contents/Info.plist";
    auto info = parsePropertyList(readFile(file).value_or(""));
    ASSERT_TRUE(info && info->isDictionary());
    (*info->asDictionary())["CFBundleVersion"] = Value::string(build);
    write(file, writePropertyList(*info));
}

std::vector<ZipEntry> entriesOf(const Path& folder, const std::string& prefix) {
    std::vector<ZipEntry> entries;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        const std::string name = prefix + item.path().lexically_relative(folder).generic_string();
        const auto mode = static_cast<int>(item.symlink_status().permissions() & fs::perms::mask);
        if (item.is_symlink())
            entries.push_back({name, fs::read_symlink(item.path()).string(), ZipEntry::Kind::link, 0777});
        else if (item.is_directory())
            entries.push_back({name, "", ZipEntry::Kind::folder, mode});
        else
            entries.push_back({name, readFile(item.path()).value_or(""), ZipEntry::Kind::file, mode});
    }
    return entries;
}

void writeZip(const Path& zip, const std::vector<ZipEntry>& entries) {
    archive* out = archive_write_new();
    archive_write_set_format_zip(out);
    archive_write_set_options(out, "zip:compression=store");
    ASSERT_EQ(archive_write_open_filename(out, zip.c_str()), ARCHIVE_OK);
    for (const auto& item : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, item.name.c_str());
        switch (item.kind) {
        case ZipEntry::Kind::file:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_size(entry, static_cast<la_int64_t>(item.content.size()));
            break;
        case ZipEntry::Kind::folder: archive_entry_set_filetype(entry, AE_IFDIR); break;
        case ZipEntry::Kind::link:
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_symlink(entry, item.content.c_str());
            break;
        }
        archive_entry_set_perm(entry, static_cast<mode_t>(item.mode));
        EXPECT_EQ(archive_write_header(out, entry), ARCHIVE_OK) << archive_error_string(out);
        if (item.kind == ZipEntry::Kind::file) archive_write_data(out, item.content.data(), item.content.size());
        archive_entry_free(entry);
    }
    archive_write_close(out);
    archive_write_free(out);
}

}  // namespace norvane::testing

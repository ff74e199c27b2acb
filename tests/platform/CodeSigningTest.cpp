#include "platform/CodeSigning.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/MainBundle.h"
#include "platform/ProcessTable.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

const std::string requirementFor(const std::string& identifier, const std::string& team) {
    return "anchor apple generic and identifier \"" + identifier + "\" and certificate leaf[subject.OU] = \"" + team +
           "\"";
}

class CodeSigningTest : public ::testing::Test {
protected:
    testing::TempFolder dir;
    RecordCodeSigning signing;
    Path bundle = dir / "Norvane.app";

    void SetUp() override {
        dir.write("Norvane.app/Contents/Info.plist",
                  "<plist><dict><key>CFBundleIdentifier</key><string>app.norvane.Norvane</string>"
                  "<key>CFBundleExecutable</key><string>Norvane</string></dict></plist>");
        dir.write("Norvane.app/Contents/MacOS/Norvane", "app");
        dir.write("Norvane.app/Contents/MacOS/NorvaneHelper", "helper");
    }
    void sign(std::optional<std::string> team) {
        std::string error;
        ASSERT_TRUE(
            signBundle(bundle, "", std::move(team), {{"Contents/MacOS/NorvaneHelper", "app.norvane.helper"}}, error))
            << error;
    }
    SignatureCheck check(const std::string& code, const std::string& identifier, const std::string& team = "TEAM") {
        return signing.checkValidity(bundle / code, requirementFor(identifier, team));
    }
};

TEST_F(CodeSigningTest, EachCodeOfASignedBundleMeetsOnlyItsOwnRequirement) {
    EXPECT_EQ(check("Contents/MacOS/Norvane", "app.norvane.Norvane"), SignatureCheck::notSigned);
    sign("TEAM");
    const std::vector<std::tuple<std::string, std::string, std::string, SignatureCheck>> cases = {
        {"", "app.norvane.Norvane", "TEAM", SignatureCheck::valid},
        {"Contents/MacOS/Norvane", "app.norvane.Norvane", "TEAM", SignatureCheck::valid},
        {"Contents/MacOS/NorvaneHelper", "app.norvane.helper", "TEAM", SignatureCheck::valid},
        {"Contents/MacOS/NorvaneHelper", "app.norvane.Norvane", "TEAM", SignatureCheck::requirementNotMet},
        {"Contents/MacOS/Norvane", "app.norvane.Norvane", "OTHER", SignatureCheck::requirementNotMet},
        {"Contents/MacOS/Norvane", "app.norvane.Norvane", "", SignatureCheck::requirementNotMet},
        {"Contents/Info.plist", "app.norvane.Norvane", "TEAM", SignatureCheck::notSigned},  // not code
    };
    for (const auto& [code, identifier, team, expected] : cases)
        EXPECT_EQ(check(code, identifier, team), expected) << code << " " << identifier << " " << team;

    EXPECT_EQ(
        signing.signingInformation(bundle / "Contents/MacOS/NorvaneHelper"),
        (Value::Dictionary{{"identifier", Value::string("app.norvane.helper")}, {"teamid", Value::string("TEAM")}}));
    EXPECT_FALSE(signing.signingInformation(bundle / "Contents/MacOS/absent"));

    // An ad-hoc signature has no team and meets no requirement.
    sign(std::nullopt);
    EXPECT_EQ(signing.signingInformation(bundle / "Contents/MacOS/Norvane"),
              (Value::Dictionary{{"identifier", Value::string("app.norvane.Norvane")}}));
    EXPECT_EQ(check("Contents/MacOS/Norvane", "app.norvane.Norvane", ""), SignatureCheck::requirementNotMet);
}

TEST_F(CodeSigningTest, AnyChangeAfterSigningBreaksTheSeal) {
    const std::vector<std::pair<std::string, std::function<void(const Path&)>>> changes = {
        {"a changed file", [](const Path& b) { std::filesystem::resize_file(b / "Contents/MacOS/NorvaneHelper", 2); }},
        {"an added file", [this](const Path&) { dir.write("Norvane.app/Contents/Resources/extra", "x"); }},
        {"a removed file", [](const Path& b) { std::filesystem::remove(b / "Contents/Info.plist"); }},
        {"a file turned link",
         [](const Path& b) {
             std::filesystem::remove(b / "Contents/MacOS/NorvaneHelper");
             std::filesystem::create_symlink("Norvane", b / "Contents/MacOS/NorvaneHelper");
         }},
    };
    for (const auto& [what, change] : changes) {
        SetUp();
        std::filesystem::remove_all(bundle / "Contents/Resources");
        sign("TEAM");
        ASSERT_EQ(check("Contents/MacOS/Norvane", "app.norvane.Norvane"), SignatureCheck::valid) << what;
        change(bundle);
        EXPECT_EQ(check("Contents/MacOS/Norvane", "app.norvane.Norvane"), SignatureCheck::modified) << what;
        std::filesystem::remove_all(bundle);
    }
}

TEST(Requirement, OnlyTheOneFormCompiles) {
    EXPECT_EQ(parseRequirement(requirementFor("app.norvane.helper", "X")), (Requirement{"app.norvane.helper", "X"}));
    EXPECT_EQ(parseRequirement(requirementFor("a", "")), (Requirement{"a", ""}));
    for (const std::string& text : {std::string(), requirementFor("a", "X") + " ", requirementFor("a\"", "X"),
                                    requirementFor("a", "X\" or anchor apple \"Y"), std::string("anchor apple"),
                                    std::string("identifier \"a\" and certificate leaf[subject.OU] = \"X\"")})
        EXPECT_FALSE(parseRequirement(text)) << text;
    EXPECT_EQ(RecordCodeSigning().checkValidity("/", "anchor trusted"), SignatureCheck::badRequirement);
}

TEST(SignatureRecord, WhatIsNotARecordIsNotSigned) {
    const SignatureRecord record{"id", "T", {{"a", "00"}}, {{"Contents/MacOS/x", "id"}}};
    EXPECT_EQ(parseSignatureRecord(writeSignatureRecord(record)), record);
    for (const char* text :
         {"", "<plist><array/></plist>", "<plist><dict><key>identifier</key><integer>1</integer></dict></plist>",
          "<plist><dict><key>identifier</key><string>i</string><key>files</key><dict><key>a</key>"
          "<integer>1</integer></dict><key>code</key><dict/></dict></plist>"})
        EXPECT_FALSE(parseSignatureRecord(text)) << text;
}

TEST(MainBundle, AProgramInContentsMacOSBelongsToItsBundle) {
    testing::TempFolder dir;
    dir.write("A.app/Contents/Info.plist",
              "<plist><dict><key>CFBundleIdentifier</key><string>app.x</string><key>CFBundleVersion</key>"
              "<string>57</string><key>CFBundleShortVersionString</key><integer>1</integer></dict></plist>");
    const auto inside = FolderBundle::ofExecutable(dir / "A.app/Contents/MacOS/A");
    EXPECT_EQ(inside.bundlePath(), dir / "A.app");
    EXPECT_EQ(inside.identifier(), "app.x");
    EXPECT_EQ(inside.version(), "57");
    EXPECT_EQ(inside.shortVersion(), std::nullopt);  // not a string
    EXPECT_EQ(inside.executable(), std::nullopt);
    for (const char* path : {"A.app/Contents/A", "A.app/MacOS/A", "bin/A"}) {
        const auto outside = FolderBundle::ofExecutable(dir / path);
        EXPECT_FALSE(outside.bundlePath().string().ends_with(".app")) << path;
        EXPECT_FALSE(outside.identifier()) << path;
    }
    EXPECT_EQ(FolderBundle::running().bundlePath(), Path(processPath(::getpid())).parent_path());
}

}  // namespace
}  // namespace norvane

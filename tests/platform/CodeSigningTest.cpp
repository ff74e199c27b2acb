#include "platform/CodeSigning.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <thread>
#include <tuple>

#include "platform/MainBundle.h"
#include "platform/ProcessTable.h"
#include "platform/Text.h"
#include "tests/support/OwnWorld.h"
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
    testing::TempMachine temp;
    RecordCodeSigning signing{temp.machine()};
    Path bundle = dir / "Norvane.app";

    CodeSigningTest() { temp.trust("TEAM"); }
    void SetUp() override {
        dir.write("Norvane.app/Contents/Info.plist",
                  "<plist><dict><key>CFBundleIdentifier</key><string>app.norvane.Norvane</string>"
                  "<key>CFBundleExecutable</key><string>Norvane</string></dict></plist>");
        dir.write("Norvane.app/Contents/MacOS/Norvane", "app");
        dir.write("Norvane.app/Contents/MacOS/NorvaneHelper", "helper");
    }
    void sign(std::optional<std::string> team, const Path& keys = testing::signingKeys()) {
        std::string error;
        ASSERT_TRUE(signBundle(bundle, "", std::move(team), {{"Contents/MacOS/NorvaneHelper", "app.norvane.helper"}},
                               error, keys))
            << error;
    }
    SignatureRecord record() const { return *parseSignatureRecord(*readFile(bundle / Path(signatureRecordPath))); }
    void write(const SignatureRecord& changed) const {
        ASSERT_TRUE(writeFileAtomically(bundle / Path(signatureRecordPath), writeSignatureRecord(changed)));
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

// Anyone can write a record or run the signing tool; only the team's key makes one that a
// machine trusts.
TEST_F(CodeSigningTest, OnlyARecordSignedByAKeyTheAnchorsHoldForTheTeamIsValid) {
    const auto main = [this] { return check("Contents/MacOS/Norvane", "app.norvane.Norvane"); };
    sign("TEAM");
    ASSERT_EQ(main(), SignatureCheck::valid);
    const SignatureRecord good = record();
    ASSERT_TRUE(good.signature);

    const testing::TempFolder otherKeys;
    std::string error;
    const std::vector<std::pair<std::string, std::function<void()>>> forgeries = {
        {"no signature", [&] { auto r = good; r.signature.reset(); write(r); }},
        {"a signature of another record", [&] { auto r = good; r.files["Contents/MacOS/Norvane"] = std::string(64, '0'); write(r); }},
        {"a code entry added", [&] { auto r = good; r.code["Contents/Info.plist"] = "app.norvane.Norvane"; write(r); }},
        {"garbage", [&] { auto r = good; r.signature = "zz"; write(r); }},
        {"re-signed with another key", [&] { sign("TEAM", otherKeys.path()); }},
    };
    for (const auto& [what, forge] : forgeries) {
        write(good);
        forge();
        EXPECT_EQ(main(), SignatureCheck::untrusted) << what;
    }
    // The other key becomes valid once the machine trusts it; a team without anchors is not.
    sign("TEAM", otherKeys.path());
    ASSERT_TRUE(trustKey(anchorsFolder(temp.machine()), "TEAM", *teamPublicKey("TEAM", otherKeys.path(), error)));
    EXPECT_EQ(main(), SignatureCheck::valid);
    sign("NOANCHOR");
    EXPECT_EQ(check("Contents/MacOS/Norvane", "app.norvane.Norvane", "NOANCHOR"), SignatureCheck::untrusted);
}

// The peer's bundle is looked at before it is hashed: the identifier and team first, the
// names of its files next, and no more than maximumSealedBytes are ever read.
TEST_F(CodeSigningTest, CheapFactsComeFirstAndHashingIsCapped) {
    sign("TEAM");
    // A FIFO where a sealed file was: opening it would wait for a writer.
    std::filesystem::remove(bundle / "Contents/Info.plist");
    ASSERT_EQ(::mkfifo((bundle / "Contents/Info.plist").c_str(), 0600), 0);
    EXPECT_EQ(check("Contents/MacOS/Norvane", "app.norvane.Norvane", "OTHER"), SignatureCheck::requirementNotMet);
    EXPECT_EQ(check("Contents/MacOS/Norvane", "app.norvane.Norvane"), SignatureCheck::modified);
    std::filesystem::remove(bundle / "Contents/Info.plist");
    SetUp();

    // A sealed file replaced by a sparse one of 64 GiB, and one added: refused without reading.
    const auto started = std::chrono::steady_clock::now();
    for (const char* name : {"Contents/MacOS/NorvaneHelper", "Contents/Resources/huge"}) {
        sign("TEAM");
        dir.write("Norvane.app/" + std::string(name), "");
        std::filesystem::resize_file(bundle / name, std::uint64_t{64} << 30);
        EXPECT_EQ(check("Contents/MacOS/Norvane", "app.norvane.Norvane"), SignatureCheck::modified) << name;
        std::filesystem::remove(bundle / name);
        dir.write("Norvane.app/Contents/MacOS/NorvaneHelper", "helper");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));  // hashing would take minutes
    // A check whose deadline passes before the bundle is looked through fails.
    sign("TEAM");
    EXPECT_EQ(RecordCodeSigning(temp.machine(), 0).checkValidity(bundle, requirementFor("app.norvane.Norvane", "TEAM")),
              SignatureCheck::timedOut);
    EXPECT_FALSE(fileDigest(bundle / "Contents/MacOS/NorvaneHelper", 5));
    EXPECT_EQ(fileDigest(bundle / "Contents/MacOS/NorvaneHelper", 6), fileDigest(bundle / "Contents/MacOS/NorvaneHelper"));

    // Checks of one bundle at once: a check waits for the digest of a file another one hashes,
    // and each is answered as if alone.
    dir.write("Norvane.app/Contents/Resources/large", std::string(std::size_t{32} << 20, 'x'));
    sign("TEAM");
    std::vector<std::future<SignatureCheck>> checks;
    for (int i = 0; i < 4; ++i)
        checks.push_back(std::async(std::launch::async, [&] { return check("Contents/MacOS/Norvane", "app.norvane.Norvane"); }));
    for (auto& each : checks) EXPECT_EQ(each.get(), SignatureCheck::valid);
}

TEST(SigningKeys, AreMadeOnFirstUseForTheOwnerAlone) {
    const testing::TempFolder home;
    const Path keys = home / "config/norvane/signing-keys";
    const mode_t before = ::umask(0);
    std::string error;
    const auto key = teamPublicKey("TEAM", keys, error);
    ::umask(before);
    ASSERT_TRUE(key) << error;
    EXPECT_EQ(key->size(), 64u);
    struct stat folder {}, file {};
    ASSERT_EQ(::stat(keys.c_str(), &folder), 0);
    ASSERT_EQ(::stat((keys / "TEAM.key").c_str(), &file), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    EXPECT_EQ(file.st_mode & 0777, 0600u);
    EXPECT_EQ(teamPublicKey("TEAM", keys, error), key);  // the same key from then on
    EXPECT_NE(teamPublicKey("OTHER", keys, error), key);
    // A key others may read is no longer the team's secret.
    ASSERT_EQ(::chmod((keys / "TEAM.key").c_str(), 0644), 0);
    EXPECT_FALSE(teamPublicKey("TEAM", keys, error));
    EXPECT_NE(error.find("mode 0600"), std::string::npos);
    EXPECT_FALSE(teamPublicKey("../TEAM", keys, error));
}

// Tests started together run in PID namespaces of their own, where their pids are alike: first
// uses of one team's key at once, each by the first process of its namespace, end with one key
// that each of them reads.
TEST(SigningKeys, FirstUsesAtOnceByProcessesOfOnePidEndWithOneKey) {
    for (int round = 0; round < 8; ++round) {
        const testing::TempFolder home;
        const Path keys = home / "keys";
        int gate[2], out[2];
        ASSERT_EQ(::pipe(gate), 0);
        ASSERT_EQ(::pipe(out), 0);
        std::vector<pid_t> makers;
        for (int i = 0; i < 4; ++i)
            makers.push_back(testing::startInOwnPidNamespace([&] {
                char none = 0;
                while (::read(gate[0], &none, 1) < 0 && errno == EINTR) {}
                std::string error;
                const auto key = teamPublicKey("TEAM", keys, error);
                const std::string line = std::to_string(::getpid()) + " " + key.value_or("error: " + error) + "\n";
                return ::write(out[1], line.data(), line.size()) == static_cast<ssize_t>(line.size()) ? 0 : 1;
            }));
        ::close(out[1]);
        ASSERT_EQ(::write(gate[1], "abcd", 4), 4);  // all start now
        ::close(gate[0]);
        ::close(gate[1]);
        std::string said;
        char buffer[512];
        for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) != 0;)
            if (n > 0) said.append(buffer, static_cast<std::size_t>(n));
            else if (errno != EINTR) break;
        ::close(out[0]);
        for (const pid_t maker : makers) {
            int status = 0;
            ASSERT_EQ(::waitpid(maker, &status, 0), maker);
            if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "no PID namespace can be made here";
            EXPECT_EQ(status, 0);
        }
        const auto lines = splitNonEmpty(said, '\n');
        ASSERT_EQ(lines.size(), 4u) << said;
        for (const auto line : lines) {
            EXPECT_TRUE(line.starts_with("1 ")) << line;
            EXPECT_EQ(line.substr(2), lines[0].substr(2)) << said;
            EXPECT_EQ(line.size(), 66u) << line;
        }
    }
}

// A connection's thread, never waited for, may be checking a peer's code when the program ends:
// the exit must not pull the hashing's state from under it. Each round is a process whose thread
// hashes on while its main thread returns; one that crashes or fails a digest says so in its status.
TEST(FileDigest, AThreadThatHashesWhileTheProgramEndsNeitherCrashesNorFails) {
    const testing::TempFolder dir;
    const Path file = dir.write("sealed", std::string(4096, 'x'));
    for (int round = 0; round < 40; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::atomic<bool> hashed{false};
            std::thread([&] {
                for (;;) {
                    if (!fileDigest(file)) ::_exit(3);
                    hashed = true;
                }
            }).detach();
            while (!hashed) std::this_thread::yield();
            std::exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_EQ(status, 0) << "round " << round;
    }
}

TEST(Requirement, OnlyTheOneFormCompiles) {
    EXPECT_EQ(parseRequirement(requirementFor("app.norvane.helper", "X")), (Requirement{"app.norvane.helper", "X"}));
    EXPECT_EQ(parseRequirement(requirementFor("a", "")), (Requirement{"a", ""}));
    for (const std::string& text : {std::string(), requirementFor("a", "X") + " ", requirementFor("a\"", "X"),
                                    requirementFor("a", "X\" or anchor apple \"Y"), std::string("anchor apple"),
                                    std::string("identifier \"a\" and certificate leaf[subject.OU] = \"X\"")})
        EXPECT_FALSE(parseRequirement(text)) << text;
    EXPECT_EQ(RecordCodeSigning(Path("/nonexistent")).checkValidity("/", "anchor trusted"), SignatureCheck::badRequirement);
}

TEST(SignatureRecord, WhatIsNotARecordIsNotSigned) {
    const SignatureRecord record{"id", "T", {{"a", "00"}}, {{"Contents/MacOS/x", "id"}}, "0a"};
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

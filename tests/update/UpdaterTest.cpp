#include "app/update/Updater.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/ChildProcess.h"
#include "platform/PropertyList.h"
#include "platform/VirtualQueue.h"
#include "shared/NorvaneShared.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TempMachine.h"
#include "tests/update/UpdateBundles.h"

namespace norvane {
namespace {

namespace fs = std::filesystem;
using testing::BundleRecipe;
using testing::LoopbackServer;
using testing::ZipEntry;

const std::string downloadFailed = "The download did not finish. Check the connection and try again.";
const std::string notAnnounced = "The download is not the file the website announced. Try again later.";
const std::string notUnpacked = "The download could not be unpacked.";
const std::string notSigned = "This copy is not signed, so an update cannot be checked against it.";
const std::string notGenuine = "The download is not a genuine copy of Norvane. Nothing was installed.";
const std::string notNewer = "The download is not newer than this copy. Nothing was installed.";

// The message an update step ends with: empty when it succeeds.
template <typename Step>
std::string outcome(Step step) {
    try {
        step();
        return "";
    } catch (const UpdateError& error) {
        return error.message;
    }
}

std::optional<std::int64_t> buildOf(const Path& app) {
    const auto described = describeBundle(readFile(app / "Contents/Info.plist").value_or(""));
    return described ? std::optional(described->build) : std::nullopt;
}

// A running copy of build 57, signed for TEAMONE001, in a folder whose name a shell would
// take apart; the user's Caches folder and a server beside it.
class UpdaterTest : public ::testing::Test {
protected:
    testing::TempMachine temp;
    testing::TempFolder home;
    LoopbackServer server;
    VirtualQueue queue;
    Path apps = home / "Apps \"$(touch spliced)\" 'q'";
    Path current = apps / "Norvane.app";
    std::vector<std::string> arguments{"Norvane", "--update-zip", server.url("/Norvane.zip")};
    std::optional<FolderBundle> bundle;
    std::optional<Updates> updates;
    std::optional<testing::RunningAs> signing;
    int terminated = 0;
    std::int32_t pid = 0;

    void SetUp() override {
        temp.trust("TEAMONE001");
        testing::makeBundle(current, BundleRecipe("57"));
        rebuild();
    }
    void rebuild() {
        bundle.emplace(current);
        updates.emplace(arguments, *bundle);
        signing.emplace(current / "Contents/MacOS/Norvane", temp.machine());
    }
    struct {
        double deadline = downloadDeadline;
        std::uint64_t archive = maximumArchiveBytes, unpacked = maximumUnpackedBytes, entries = maximumUnpackedEntries;
    } limits;
    Updater updater(double idle = downloadIdleLimit) {
        return Updater({*updates, *signing, queue, temp.machine(), home / "Caches", pid, [this] { ++terminated; }, idle,
                        limits.deadline, limits.archive, limits.unpacked, limits.entries});
    }
    Path work() { return home / "Caches/Norvane-update"; }
    // An archive in the work folder, as a download leaves it.
    Path archive(const std::vector<ZipEntry>& entries) {
        fs::create_directories(work());
        testing::writeZip(work() / "Norvane.zip", entries);
        return work() / "Norvane.zip";
    }
    Path archiveOf(const BundleRecipe& recipe) {
        const Path staging = home / "staging";
        fs::remove_all(staging);
        testing::makeBundle(staging / "Norvane.app", recipe);
        return archive(testing::entriesOf(staging, ""));
    }
    std::string unpack(const Path& zip, const AvailableUpdate& offer = {"1.5", 58, {}, std::nullopt}) {
        return outcome([&] { EXPECT_EQ(updater().unpackAndCheck(zip, offer), work() / "new/Norvane.app"); });
    }
};

TEST_F(UpdaterTest, DownloadReportsEachFractionOnTheMainQueueIntoAFreshWorkFolder) {
    const std::string body(200000, 'z');
    server.answer("/Norvane.zip", LoopbackServer::Answer(200, body));
    home.write("Caches/Norvane-update/stale", "from an earlier attempt");
    std::vector<double> fractions;
    const Path stored = updater().download([&](double f) { fractions.push_back(f); });
    EXPECT_TRUE(fractions.empty());  // handed to the main queue, not called on the way
    queue.drain();
    EXPECT_EQ(stored, work() / "Norvane.zip");
    EXPECT_EQ(readFile(stored), body);
    EXPECT_FALSE(fileExists(work() / "stale"));
    ASSERT_GE(fractions.size(), 2u);
    EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
    EXPECT_GT(fractions.front(), 0);
    EXPECT_EQ(fractions.back(), 1.0);
    EXPECT_EQ(server.requests().back().headers["accept"], "application/zip");

    // Without a length nothing is reported, and the archive still arrives.
    server.answer("/Norvane.zip", LoopbackServer::Answer(200, body).announcing(std::nullopt));
    fractions.clear();
    EXPECT_EQ(readFile(updater().download([&](double f) { fractions.push_back(f); })), body);
    queue.drain();
    EXPECT_TRUE(fractions.empty());
}

TEST_F(UpdaterTest, EveryFailedTransferEndsWithTheDownloadMessageAndKeepsNoArchive) {
    using Answer = LoopbackServer::Answer;
    const std::string body(5000, 'z');
    const std::vector<std::pair<std::string, Answer>> cases = {
        {"404", Answer(404, "not here")},
        {"500", Answer(500, body)},
        {"short body", Answer(200, body).announcing(body.size() * 2)},
        {"stalled body", Answer(200, body).stallingAfter(100)},
        // The transfer ends well, but the archive cannot be kept.
        {"no place to keep it", Answer(200, body).first([this] { home.write("Caches/Norvane-update/Norvane.zip/x", ""); })},
    };
    for (const auto& [name, answer] : cases) {
        server.answer("/Norvane.zip", answer);
        EXPECT_EQ(outcome([&] { updater(0.3).download({}); }), downloadFailed) << name;
        EXPECT_FALSE(fs::is_regular_file(work() / "Norvane.zip")) << name;
    }
    arguments = {"Norvane", "--update-zip", LoopbackServer::refusedUrl()};
    rebuild();
    EXPECT_EQ(outcome([&] { updater().download({}); }), downloadFailed);

    // A work folder that cannot be made is the file system's own error.
    fs::remove_all(home / "Caches");
    home.write("Caches", "a file where the folder should be");
    EXPECT_THROW(updater().download({}), fs::filesystem_error);
}

// A server that streams without end, announces more than the limit or trickles a byte at a
// time is cut off: by the archive's size limit, or by the whole transfer's deadline.
TEST_F(UpdaterTest, ADownloadIsBoundedInSizeAndInTime) {
    using Answer = LoopbackServer::Answer;
    limits.archive = 1 << 20;
    limits.deadline = 1;
    const std::string body(4096, 'z');
    const std::vector<std::pair<std::string, Answer>> cases = {
        {"without end", Answer(200, body).announcing(std::nullopt).withoutEnd()},
        {"announced above the limit", Answer(200, body).announcing(std::size_t{2} << 20)},
        {"trickling", Answer(200, body).trickling(0.05)},
    };
    for (const auto& [name, answer] : cases) {
        server.answer("/Norvane.zip", answer);
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(outcome([&] { updater().download({}); }), downloadFailed) << name;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60)) << name;
        EXPECT_TRUE(fs::is_empty(work())) << name;
    }
}

// While it lives, this thread is held to file modes as its owner is, root too: no override of
// read, write and search permissions, nor of the owner's.
class HeldToModes {
public:
    HeldToModes() {
        ::syscall(SYS_capget, &header_, saved_);
        __user_cap_data_struct held[2] = {saved_[0], saved_[1]};
        held[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        ::syscall(SYS_capset, &header_, held);
    }
    ~HeldToModes() { ::syscall(SYS_capset, &header_, saved_); }

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2] = {};
};

// The seal covers names and contents, not modes, and `ditto` keeps the archive's: unpacking
// gives folders and programs 0755 and other files 0644 whatever the archive says, and a
// folder an earlier try left that its owner cannot even open blocks nothing.
TEST_F(UpdaterTest, UnpackedEntriesTakeFixedModesAndALeftoverBlocksNothing) {
    home.write("Caches/Norvane-update/new/Norvane.app/Contents/locked/file", "x");
    ::chmod((work() / "new/Norvane.app/Contents/locked").c_str(), 0);
    archiveOf(BundleRecipe());
    auto entries = testing::entriesOf(home / "staging", "");
    for (auto& entry : entries) entry.mode = entry.kind == ZipEntry::Kind::folder ? 0777 : 0666;
    for (auto& entry : entries)
        if (entry.name == "Norvane.app/Contents/MacOS/Norvane") entry.mode = 0644;  // a program that could not start
    const Path zip = archive(entries);
    {
        const HeldToModes held;
        ASSERT_EQ(unpack(zip), "");
    }
    for (const auto& item : fs::recursive_directory_iterator(work() / "new")) {
        const auto mode = static_cast<int>(item.symlink_status().permissions() & fs::perms::mask);
        const bool program = item.path().filename() == "Norvane";
        EXPECT_EQ(mode, item.is_directory() || program ? 0755 : 0644) << item.path();
    }
}

TEST_F(UpdaterTest, UnpackAcceptsOnlyANewerCopyOfThisAppSignedByTheSameTeam) {
    // Signed in the team's name with a key the machine does not trust for it.
    const testing::TempFolder otherKeys;
    BundleRecipe forged("58");
    forged.keys = otherKeys.path();
    const std::vector<std::pair<BundleRecipe, std::string>> cases = {
        {forged, notGenuine},
        {BundleRecipe(), ""},
        {BundleRecipe("+58"), ""},
        {BundleRecipe("58", ""), notGenuine},
        {BundleRecipe("58", "TEAMTWO002"), notGenuine},
        {BundleRecipe("57", "TEAMTWO002"), notGenuine},  // the first failed test decides
        {BundleRecipe("58", "TEAMONE001", "app.other.Other"), notGenuine},  // signed as another app
        {BundleRecipe("58", "TEAMONE001", "app.other.Other", "app.norvane.Norvane"), notNewer},
        {BundleRecipe("57"), notNewer},
        {BundleRecipe("56"), notNewer},
        {BundleRecipe(std::nullopt), notNewer},
        {BundleRecipe("1.2"), notNewer},
        {BundleRecipe("58a"), notNewer},
        {BundleRecipe(" 58"), notNewer},
    };
    for (const auto& [recipe, message] : cases)
        EXPECT_EQ(unpack(archiveOf(recipe)), message) << recipe.identifier << " " << recipe.version.value_or("-") << " " << recipe.team;

    // A bundle changed after signing, or without its Info.plist.
    archiveOf(BundleRecipe());
    auto entries = testing::entriesOf(home / "staging", "");
    for (auto& entry : entries)
        if (entry.name == "Norvane.app/Contents/MacOS/Norvane") entry.content += "# changed\n";
    EXPECT_EQ(unpack(archive(entries)), notGenuine);
    fs::remove(home / "staging/Norvane.app/Contents/Info.plist");
    std::string error;
    ASSERT_TRUE(signBundle(home / "staging/Norvane.app", "app.norvane.Norvane", "TEAMONE001", {}, error, testing::signingKeys())) << error;
    EXPECT_EQ(unpack(archive(testing::entriesOf(home / "staging", ""))), notNewer);
}

TEST_F(UpdaterTest, TheRunningCopyDecidesWhatCountsAsNewer) {
    // With a pretended lower build, the same release is newer.
    arguments.insert(arguments.end(), {"--update-as", "56"});
    rebuild();
    EXPECT_EQ(unpack(archiveOf(BundleRecipe("57"))), "");
    // Without an integer build nothing is newer.
    arguments.resize(3);
    testing::setBuild(current, "1.2");
    std::string error;
    ASSERT_TRUE(signBundle(current, "", "TEAMONE001", {}, error, testing::signingKeys()));
    rebuild();
    EXPECT_EQ(unpack(archiveOf(BundleRecipe("9000"))), notNewer);
    // An unsigned running copy can check nothing; that comes first.
    fs::remove(current / Path(signatureRecordPath));
    EXPECT_EQ(unpack(archiveOf(BundleRecipe("58", "TEAMTWO002"))), notSigned);
}

TEST_F(UpdaterTest, TheHashDecidesFirstAndIsNeverSkipped) {
    const Path zip = archiveOf(BundleRecipe());
    const std::string digest = *fileDigest(zip);
    std::string upper = digest;
    for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto offer = parseLatestRelease(R"({"version":"1.5","build":58,"sha256":")" + upper + "\"}");
    ASSERT_TRUE(offer);
    EXPECT_EQ(unpack(zip, *offer), "");
    EXPECT_EQ(unpack(zip, {"1.5", 58, {}, std::string(64, '0')}), notAnnounced);
    // An archive that cannot be read is not the announced one.
    EXPECT_EQ(unpack(work() / "absent.zip", *offer), notAnnounced);
    EXPECT_EQ(unpack(work(), *offer), notAnnounced);
    EXPECT_EQ(unpack(work() / "absent.zip"), notUnpacked);
}

TEST_F(UpdaterTest, UnpackingStaysInsideTheWorkFolder) {
    const Path outside = home / "outside";
    fs::create_directories(outside);
    testing::makeBundle(home / "staging/Norvane.app", BundleRecipe());
    const auto good = testing::entriesOf(home / "staging", "");
    const std::string app = "Norvane.app/";
    const auto with = [&](std::vector<ZipEntry> extra) {
        auto entries = good;
        entries.insert(entries.end(), extra.begin(), extra.end());
        return entries;
    };
    auto renamed = testing::entriesOf(home / "staging", "");
    for (auto& entry : renamed) entry.name.replace(0, 11, "Norvane 1.5.app");
    const std::vector<std::pair<std::string, std::vector<ZipEntry>>> cases = {
        {"absolute path", with({{(outside / "absolute").string(), "x"}})},
        {"climbing out", with({{"../../../outside/climbed", "x"}})},
        {"link leading out", with({{app + "Contents/Resources", outside.string(), ZipEntry::Kind::link}})},
        {"relative link leading out", with({{app + "Contents/Up", "../../..", ZipEntry::Kind::link}})},
        {"link to the bundle's parent", with({{app + "Contents/Parent", "../..", ZipEntry::Kind::link}})},
        {"written through a link", with({{app + "Contents/Out", outside.string(), ZipEntry::Kind::link},
                                         {app + "Contents/Out/through", "x"}})},
        {"the bundle is a link", {{"Norvane.app", "../../..", ZipEntry::Kind::link}}},
        {"the bundle under another name", renamed},
        {"no zip at all", {}},
    };
    for (const auto& [name, entries] : cases) {
        const Path zip = entries.empty() ? home.write("Caches/Norvane-update/Norvane.zip", "not a zip") : archive(entries);
        EXPECT_EQ(unpack(zip), notUnpacked) << name;
        EXPECT_TRUE(fs::is_empty(outside)) << name;
    }

    // An archive that unpacks to more than the limits is refused before any of it is written.
    limits.unpacked = 64 * 1024;
    limits.entries = 30;
    std::vector<ZipEntry> many;
    for (int i = 0; i < 40; ++i) many.push_back({app + "Contents/Resources/" + std::to_string(i), "x"});
    const std::vector<std::pair<std::string, std::vector<ZipEntry>>> large = {
        {"too large", with({{app + "Contents/Resources/large", std::string(100 * 1024, 'z')}})},
        {"too many", with(many)},
    };
    for (const auto& [name, entries] : large) {
        EXPECT_EQ(unpack(archive(entries)), notUnpacked) << name;
        EXPECT_FALSE(fs::exists(work() / "new")) << name;
    }
    // Links that stay inside are kept.
    EXPECT_EQ(unpack(archive(with({{app + "Contents/Current", "MacOS/Norvane", ZipEntry::Kind::link}}))), notGenuine);
    EXPECT_TRUE(fs::is_symlink(work() / "new/Norvane.app/Contents/Current"));

    // A ditto that cannot be started passes its own error on, for the caller to word.
    fs::remove(temp.root() / "usr/bin/ditto");
    EXPECT_THROW(updater().unpackAndCheck(archive(good), {"1.5", 58, {}, std::nullopt}), std::runtime_error);
}

TEST(DescribeBundle, TakesOnlyAnIdentifierAndADecimalBuild) {
    const auto plist = [](const std::string& body) { return "<plist><dict>" + body + "</dict></plist>"; };
    const std::string id = "<key>CFBundleIdentifier</key><string>app.norvane.Norvane</string>";
    const auto build = [](const std::string& text) { return "<key>CFBundleVersion</key><string>" + text + "</string>"; };
    const std::vector<std::pair<std::string, std::optional<BundleDescription>>> cases = {
        {plist(id + build("57")), BundleDescription{"app.norvane.Norvane", 57}},
        {plist(id + build("+57")), BundleDescription{"app.norvane.Norvane", 57}},
        {plist(id + build("-3")), BundleDescription{"app.norvane.Norvane", -3}},
        {plist(id + build("1.2")), std::nullopt},
        {plist(id + build("57a")), std::nullopt},
        {plist(id + build(" 57")), std::nullopt},
        {plist(id + build("")), std::nullopt},
        {plist(id + build("9223372036854775808")), std::nullopt},
        {plist(id + "<key>CFBundleVersion</key><integer>57</integer>"), std::nullopt},
        {plist(build("57")), std::nullopt},
        {plist("<key>CFBundleIdentifier</key><true/>" + build("57")), std::nullopt},
        {"<plist><array><string>57</string></array></plist>", std::nullopt},
        {"bplist00\xD1\x01\x02", std::nullopt},  // binary property lists are not read
        {"", std::nullopt},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(describeBundle(text), expected) << text;
}

TEST(UpdateBlocker, TheFirstReasonInOrderWins) {
    const std::string move = "Move Norvane to the Applications folder first, then it can update itself.";
    const std::vector<std::tuple<std::string, bool, bool, std::optional<std::string>>> cases = {
        {"/Applications/Norvane.app", true, true, std::nullopt},
        {"/Applications/Norvane.app/Contents/MacOS", true, true, "This copy is not an app bundle."},
        {"/usr/local/bin", false, false, "This copy is not an app bundle."},
        {"/Volumes/Norvane/Norvane.app", false, false, move},
        {"/private/var/folders/x/T/AppTranslocation/ABC/d/Norvane.app", true, true, move},
        {"/Users/me/Volumes/Norvane.app", true, true, std::nullopt},
        {"/Applications/Norvane.app", true, false, notSigned},
        {"/Applications/Norvane.app", false, false, notSigned},
        {"/Applications/Norvane.app", false, true, "Norvane cannot write to the folder it is in."},
    };
    for (const auto& [path, writable, isSigned, reason] : cases)
        EXPECT_EQ(updateBlocker(path, writable, isSigned), reason) << path << writable << isSigned;
}

TEST_F(UpdaterTest, TheBlockerLooksAtTheRunningCopyAndABlockedInstallTouchesNothing) {
    EXPECT_EQ(updater().blocker(), std::nullopt);
    fs::remove(current / Path(signatureRecordPath));
    EXPECT_EQ(updater().blocker(), notSigned);
    const Path fresh = testing::makeBundle(work() / "new/Norvane.app", BundleRecipe());
    EXPECT_EQ(outcome([&] { updater().install(fresh); }), notSigned);
    EXPECT_EQ(buildOf(current), 57);
    EXPECT_TRUE(fs::exists(fresh));
    EXPECT_EQ(terminated, 0);
    current = home / "bin";
    rebuild();
    EXPECT_EQ(updater().blocker(), "This copy is not an app bundle.");
}

// Runs until the test ends it: the application the relaunch waits for.
struct RunningApp {
    std::optional<ChildProcess> process;
    explicit RunningApp(const Machine& machine) : process(ChildProcess::start(machine, "/bin/sh", {"-c", "exec sleep 30"})) {}
};

// What the file holds once a whole line is in it: a writer creates it before it writes.
std::string waitForFile(const Path& file) {
    std::string text;
    for (int i = 0; i < 200 && !(text = readFile(file).value_or("")).ends_with('\n'); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    return text;
}

TEST_F(UpdaterTest, InstallSwapsTheBundlesAndRelaunchesTheAppAtItsPathOnceThisProcessEnds) {
    RunningApp app(temp.machine());
    ASSERT_TRUE(app.process);
    pid = app.process->pid();
    testing::makeBundle(apps / ".Norvane-previous.app", BundleRecipe("40"));  // left by an interrupted install
    const Path fresh = testing::makeBundle(work() / "new/Norvane.app", BundleRecipe());

    updater().install(fresh);
    EXPECT_EQ(buildOf(current), 58);
    EXPECT_FALSE(fs::exists(apps / ".Norvane-previous.app"));
    EXPECT_FALSE(fs::exists(work()));
    EXPECT_EQ(terminated, 1);

    EXPECT_FALSE(fileExists(temp.root() / "workspace/opened.jsonl"));  // it waits for the app to end
    app.process->terminate();
    const auto opened = parseJson(waitForFile(temp.root() / "workspace/opened.jsonl"));
    ASSERT_TRUE(opened) << "not relaunched";
    EXPECT_EQ(*opened->find("path"), Value::string(current.string()));
    EXPECT_EQ(waitForFile(temp.root() / "started"), (current / "Contents/MacOS/Norvane").string() + "\n");
    EXPECT_FALSE(fs::exists(home / "spliced"));
    EXPECT_FALSE(fs::exists("spliced"));
}

TEST_F(UpdaterTest, AFailedSwapPutsTheOldCopyBackAndNeverRemovesTheOnlyCopy) {
    const std::string lost = "The new copy could not be put in place: No such file or directory";
    EXPECT_EQ(outcome([&] { updater().install(work() / "new/Norvane.app"); }), lost);
    EXPECT_EQ(buildOf(current), 57);
    EXPECT_FALSE(fs::exists(apps / ".Norvane-previous.app"));

    // An earlier restoring move failed: only the kept-aside copy is left, and it stays. The
    // running program is now the one inside it.
    fs::rename(current, apps / ".Norvane-previous.app");
    signing.emplace(apps / ".Norvane-previous.app/Contents/MacOS/Norvane", temp.machine());
    const Path fresh = testing::makeBundle(work() / "new/Norvane.app", BundleRecipe());
    EXPECT_EQ(outcome([&] { updater().install(fresh); }), lost);
    EXPECT_EQ(buildOf(apps / ".Norvane-previous.app"), 57);
    EXPECT_TRUE(fs::exists(fresh));
    EXPECT_EQ(terminated, 0);
    EXPECT_FALSE(fileExists(temp.root() / "workspace/opened.jsonl"));
}

TEST_F(UpdaterTest, TheBuildsOwnBundleUpdatesItselfFromTheWebsite) {
    // This build's bundle with a higher build than the running copy's is the update.
    const std::int64_t running = *updates->runningBuild();
    std::string error;
    const Path staging = home / "staging/Norvane.app";
    fs::create_directories(staging.parent_path());
    fs::copy(NORVANE_BUNDLE, staging, fs::copy_options::recursive);
    testing::setBuild(staging, std::to_string(running + 1));
    ASSERT_TRUE(signBundle(staging, "", "TEAMONE001", {{"Contents/MacOS/NorvaneHelper", "app.norvane.helper"}}, error,
                           testing::signingKeys()));
    testing::writeZip(home / "Norvane.zip", testing::entriesOf(staging.parent_path(), ""));
    server.answer("/Norvane.zip", LoopbackServer::Answer(200, *readFile(home / "Norvane.zip")));
    server.answer("/version.json", LoopbackServer::Answer(200, R"({"version":"9.9","build":)" + std::to_string(running + 1) +
                                                                   R"(,"sha256":")" + *fileDigest(home / "Norvane.zip") + "\"}"));
    arguments.insert(arguments.end(), {"--update-source", server.url("/version.json")});
    rebuild();
    // The relaunch is only noted: the real app is not started here.
    fs::remove(temp.root() / "usr/bin/open");
    const Path open = temp.write("usr/bin/open", "#!/bin/sh\necho \"$@\" > \"$NORVANE_MACHINE/opened\"\n");
    fs::permissions(open, fs::perms::owner_all);
    RunningApp app(temp.machine());
    pid = app.process->pid();

    const auto offer = updates->latest();
    ASSERT_TRUE(offer);
    double last = 0;
    const Path zip = updater().download([&](double f) { last = f; });
    queue.drain();
    EXPECT_EQ(last, 1.0);
    const Path fresh = updater().unpackAndCheck(zip, *offer);
    EXPECT_EQ(updater().blocker(), std::nullopt);
    updater().install(fresh);
    EXPECT_EQ(FolderBundle(current).version(), std::to_string(running + 1));
    EXPECT_EQ(signing->checkValidity(current, signingRequirement(appBundleID, "TEAMONE001")), SignatureCheck::valid);
    app.process->terminate();
    EXPECT_EQ(waitForFile(temp.root() / "opened"), current.string() + "\n");
}

}  // namespace
}  // namespace norvane

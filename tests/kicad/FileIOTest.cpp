// Saving: the target is replaced atomically, the previous file kept as .bak, and nothing is left
// behind or damaged when a step fails.
#include "pcbhost/kicad/FileIO.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <stdexcept>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <system_error>
#include <utility>
#include <vector>

using namespace pcbhost::sexpr;
namespace fs = std::filesystem;

namespace {

class AtomicWrite : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "sexpr-fileio-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path file(const std::string& name) const { return dir_ / name; }
    void put(const fs::path& path, const std::string& bytes) const {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    // Every name in the folder: a leftover temporary file shows up here.
    std::set<std::string> names() const {
        std::set<std::string> found;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            found.insert(entry.path().filename().string());
        }
        return found;
    }
    template <typename F> std::string errorOf(F&& action) {
        try {
            action();
        } catch (const std::system_error& e) {
            return e.what();
        }
        ADD_FAILURE() << "no error";
        return {};
    }

    fs::path dir_;
};

} // namespace

TEST_F(AtomicWrite, CreatesReplacesAndKeepsThePreviousFileAsBak) {
    const fs::path board = file("b.kicad_pcb");
    writeFileAtomically(board, "first");
    EXPECT_EQ(readFile(board), "first");
    EXPECT_EQ(names(), (std::set<std::string>{"b.kicad_pcb"})); // nothing to back up yet

    writeFileAtomically(board, "second");
    writeFileAtomically(board, std::string("third\0with nul\r\n", 16));
    EXPECT_EQ(readFile(board), std::string("third\0with nul\r\n", 16));
    EXPECT_EQ(readFile(file("b.kicad_pcb.bak")), "second");
    EXPECT_EQ(names(), (std::set<std::string>{"b.kicad_pcb", "b.kicad_pcb.bak"}));

    writeFileAtomically(board, "", false);
    EXPECT_EQ(readFile(board), "");
    EXPECT_EQ(readFile(file("b.kicad_pcb.bak")), "second")
        << "a save without backup leaves the old .bak alone";
}

TEST_F(AtomicWrite, KeepsPermissionsAndFollowsSymbolicLinks) {
    const fs::path real = file("real.kicad_sch");
    put(real, "old");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    const fs::path link = file("link.kicad_sch");
    fs::create_symlink(real.filename(), link);

    writeFileAtomically(link, "new");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readFile(real), "new");
    EXPECT_EQ(readFile(file("real.kicad_sch.bak")), "old");
    struct stat info {};
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(AtomicWrite, FailuresLeaveTheOriginalAndNoTemporaries) {
    const fs::path board = file("b.kicad_pcb");
    put(board, "original");

    // Folder missing.
    const fs::path lost = file("missing") / "x.kicad_pcb";
    EXPECT_NE(errorOf([&] { writeFileAtomically(lost, "x"); }).find(lost.string()), std::string::npos);

    // Target is a directory.
    fs::create_directory(file("dir.kicad_pcb"));
    EXPECT_NE(errorOf([&] { writeFileAtomically(file("dir.kicad_pcb"), "x"); }).find("dir.kicad_pcb"),
              std::string::npos);
    EXPECT_TRUE(fs::is_directory(file("dir.kicad_pcb")));

    // The backup cannot be made (its name is taken by a non-empty directory): fails after the new
    // content was written to the temporary file.
    fs::create_directories(file("b.kicad_pcb.bak") / "occupied");
    EXPECT_NE(errorOf([&] { writeFileAtomically(board, "new"); }).find("b.kicad_pcb"), std::string::npos);
    EXPECT_EQ(readFile(board), "original");
    EXPECT_EQ(names(), (std::set<std::string>{"b.kicad_pcb", "b.kicad_pcb.bak", "dir.kicad_pcb"}));
    fs::remove_all(file("b.kicad_pcb.bak"));

    // Writing fails half way (file size limit; root is not stopped by permissions).
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previousLimit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previousLimit), 0);
    rlimit small = previousLimit;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string error = errorOf([&] { writeFileAtomically(board, std::string(100000, 'x')); });
    ::setrlimit(RLIMIT_FSIZE, &previousLimit);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_NE(error.find("b.kicad_pcb"), std::string::npos) << error;
    EXPECT_EQ(readFile(board), "original");
    EXPECT_EQ(names(), (std::set<std::string>{"b.kicad_pcb", "dir.kicad_pcb"}));
}

TEST_F(AtomicWrite, ReadFileNamesTheFile) {
    EXPECT_NE(errorOf([&] { readFile(file("absent.kicad_pcb")); }).find("absent.kicad_pcb"),
              std::string::npos);
    EXPECT_NE(errorOf([&] { readFile(dir_); }).find(dir_.string()), std::string::npos);
}

// Contents produced piece by piece: small pieces gathered, large ones passed straight on, the
// file exactly the pieces in order; a writer that fails part way leaves every target as it was.
TEST_F(AtomicWrite, WritersProduceTheContentPieceByPiece) {
    const fs::path sheet = file("s.kicad_sch"), board = file("b.kicad_pcb");
    put(sheet, "old sheet");
    put(board, "old board");
    std::string expected;
    std::vector<std::string> pieces;
    for (std::size_t k = 0; k < 3000; ++k) {
        // Mostly short pieces, some empty, one over a mebibyte and some just under one.
        const std::size_t size = k == 1500      ? (std::size_t(3) << 20) + 7
                                 : k % 700 == 0 ? (1u << 20) - 1
                                                : k % 13;
        pieces.push_back(std::string(size, char('a' + k % 26)));
        expected += pieces.back();
    }
    const ContentWriter content = [&](const std::function<void(std::string_view)>& write) {
        for (const std::string& piece : pieces) {
            write(piece);
        }
    };
    writeFilesAtomically(std::vector<std::pair<fs::path, ContentWriter>>{{sheet, content}}, false);
    EXPECT_TRUE(readFile(sheet) == expected);
    EXPECT_EQ(names(), (std::set<std::string>{"b.kicad_pcb", "s.kicad_sch"}));

    const ContentWriter failing = [&](const std::function<void(std::string_view)>& write) {
        write("half");
        throw std::runtime_error("cannot render");
    };
    const ContentWriter fine = [](const std::function<void(std::string_view)>& write) { write("new board"); };
    EXPECT_THROW(writeFilesAtomically(
                     std::vector<std::pair<fs::path, ContentWriter>>{{board, fine}, {sheet, failing}}, true),
                 std::runtime_error);
    EXPECT_TRUE(readFile(sheet) == expected);
    EXPECT_EQ(readFile(board), "old board");
    EXPECT_EQ(names(), (std::set<std::string>{"b.kicad_pcb", "s.kicad_sch"}));
}

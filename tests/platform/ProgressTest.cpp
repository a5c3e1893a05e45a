// The progress line of the programs without windows: what a terminal and a
// log file get to read.

#include "platform/ui/Progress.h"

#include <cstdio>
#include <gtest/gtest.h>

using namespace ov;

namespace {

// Everything the progress wrote to its file.
std::string Written(std::FILE* file) {
    std::string text;
    std::rewind(file);
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
    return text;
}

TEST(LineProgressTest, ALogGetsOneLinePerTenthAndATerminalOneLineRewritten) {
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    {
        ui::LineProgress progress(log, false);
        ui::InstallProgress(&progress);
        ui::ProgressScope scope("Delete", 1000);
        for (qint64 done = 0; done <= 1000; done += 7) EXPECT_TRUE(scope.Advance(done));
        scope.Advance(1000);
    }
    ui::InstallProgress(nullptr);
    const std::string lines = Written(log);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 11) << lines;
    EXPECT_EQ(lines.rfind("Delete: 1000 of 1000 (100%)\n"), lines.size() - 28) << lines;
    EXPECT_EQ(lines.find('\r'), std::string::npos) << "no carriage returns in a log";
    std::fclose(log);

    std::FILE* terminal = std::tmpfile();
    {
        ui::LineProgress progress(terminal, true);
        progress.Begin("Paste", 0);  // the total unknown
        progress.Advance(40);
        progress.End();
        progress.Advance(50);  // after the end: nothing
    }
    EXPECT_EQ(Written(terminal), "\rPaste: 0\x1b[K\rPaste: 40\x1b[K\n");
    std::fclose(terminal);

    // Done beyond the total shows a hundred percent.
    std::FILE* beyond = std::tmpfile();
    ui::LineProgress progress(beyond, false);
    progress.Begin("Import", 10);
    progress.Advance(25);
    progress.End();
    EXPECT_NE(Written(beyond).find("Import: 25 of 10 (100%)"), std::string::npos) << Written(beyond);
    std::fclose(beyond);
}

}  // namespace

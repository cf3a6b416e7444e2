// libFuzzer target for loading experiment files: every input must satisfy
// the round-trip property of experiment_roundtrip.h, with the setup tree
// shown in a stand-in window of plain widgets.
#include <QApplication>
#include <QTabWidget>
#include <QTreeWidget>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/experiment_roundtrip.h"
#include "interface/error.h"
#include "interface/messagebox.h"
#include "interface/node.h"
#include "interface/treehost.h"
#include "logger.h"
#include "tests/interface/plainhost.h"

// The offscreen platform keeps its screen objects until the process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libqoffscreen.so\n"; }

namespace {

PlainHost* host = nullptr;
std::string scratch;

void removeScratch() { std::remove(scratch.c_str()); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "experiment_fuzz";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    Logger_::setOutStream(Logger_::none);
    MessageBox_::setHandler([](const MessageBox_::Request&) { return QMessageBox::Ok; });
    host = new PlainHost;
    Node_::setMainWindow(host);
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : tmpdir ? tmpdir : "/tmp";
    scratch = dir + "/experiment_fuzz." + std::to_string(getpid()) + ".experiment";
    std::atexit(removeScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string failure = experiment_roundtrip::check(
        std::string(reinterpret_cast<const char*>(data), size), scratch, host->setupTree);
    if (!failure.empty()) {
        std::fprintf(stderr, "experiment round trip broken: %s\n", failure.c_str());
        std::abort();
    }
    errortesting::reset();
    return 0;
}

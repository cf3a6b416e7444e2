#pragma once
// The round-trip property of experiment files, shared by the fuzz target and
// the corpus replay test: any text either is refused (by the block reader or,
// with a reason, by the experiment reader) or loads into a setup tree that
// passes verification without harm and saves; a saved tree is either refused
// by the writer as unwritable or loads again and saves to the same bytes.
#include <QList>
#include <QTreeWidget>

#include <string>

#include "configfile.h"
#include "fuzz/configfile_roundtrip.h"
#include "interface/experimentfile.h"
#include "interface/setupnode.h"

namespace experiment_roundtrip {

// Loads the block tree of `file` into `tree` as the window does; false, with
// the reader's reason in `problem`, when refused.
inline bool load(ConfigFile_& file, QTreeWidget* tree, QString* problem) {
    ExperimentFile_ format;
    QList<SetupNode_*> setups;
    if (!format.readSetups(file.getRoot(), &setups, problem)) return false;
    for (SetupNode_* setup : setups) tree->addTopLevelItem(setup);
    for (SetupNode_* setup : setups) setup->verify();
    return true;
}

// Saves `tree` to `scratch` and empties it; the bytes go to `bytes`. Empty
// when written, "unwritable" when the writer refused a token, else what broke.
inline std::string save(QTreeWidget* tree, const std::string& scratch, std::string* bytes) {
    ConfigFile_ file;
    ExperimentFile_ format;
    QString problem;
    const bool copied = format.copySetupTree(tree, file.getRoot(), QStringLiteral("0.9.1"), &problem);
    tree->clear();
    if (!copied) return "a loaded tree cannot be saved: " + problem.toStdString();
    if (!file.writeFile(scratch))
        return file.getErrorCode() == ConfigFile_::unwritableNode ? "unwritable" : "write failed: " + file.getErrorMessage();
    *bytes = configfile_roundtrip::fileBytes(scratch);
    return std::string();
}

inline std::string check(const std::string& text, const std::string& scratch, QTreeWidget* tree) {
    ConfigFile_ parsed;
    if (!parsed.setFileData(text)) return std::string();
    QString problem;
    if (!load(parsed, tree, &problem)) return problem.isEmpty() ? "refused without a reason" : std::string();
    std::string first;
    std::string outcome = save(tree, scratch, &first);
    if (!outcome.empty()) return outcome == "unwritable" ? std::string() : outcome;
    ConfigFile_ reread;
    if (!reread.readFile(scratch)) return "a saved file does not parse: " + reread.getErrorMessage();
    if (!load(reread, tree, &problem)) return "a saved file does not load: " + problem.toStdString();
    std::string second;
    outcome = save(tree, scratch, &second);
    if (!outcome.empty()) return "a reloaded tree does not save: " + outcome;
    return first == second ? std::string() : "the second save differs from the first";
}

}  // namespace experiment_roundtrip

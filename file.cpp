#include "file.h"

#include "configfile.h"
#include "interface/experimentfile.h"
#include "interface/messagebox.h"
#include "interface/setupnode.h"
#include "mainwindow.h"

namespace {
File_::NameHandler& nameHandler() {
    static File_::NameHandler handler;
    return handler;
}

std::string localPath(const QString& name) { return QFile::encodeName(name).toStdString(); }
}  // namespace

File_::File_(MainWindow* MW) : QFileDialog(nullptr, QString(), QString(), QString()), MW(MW) {
    setNameFilter(tr("Experiment Files (*.experiment *.exp)"));
}

File_::~File_() = default;

void File_::setNameHandler(NameHandler handler) { nameHandler() = std::move(handler); }

// A save asks before it replaces an existing file.
QString File_::askName(bool existing) {
    if (nameHandler()) return nameHandler()(existing);
    setFileMode(existing ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    setAcceptMode(existing ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    if (exec() != QDialog::Accepted || selectedFiles().isEmpty()) return QString();
    return selectedFiles().first();
}

void File_::save(QString name) {
    Name = name;
    save();
}

void File_::saveAs() {
    saved = false;
    const QString name = askName(false);
    if (name.isEmpty()) return;
    Name = name;
    log("Saving to " + ExperimentFile_::encode(Name), debugA);
    save();
}

void File_::save() {
    if (Name.isEmpty()) return saveAs();
    Data = std::make_unique<ConfigFile_>();
    ExperimentFile_ format;
    QString problem;
    saved = format.copySetupTree(MW->getSetupTree(), Data->getRoot(), MW->getVersion(), &problem) &&
            Data->writeFile(localPath(Name));
    if (saved) return;
    if (problem.isEmpty() && Data->getErrorCode() != ConfigFile_::none)
        problem = QString::fromStdString(Data->getErrorMessage());
    MessageBox_::show(MessageBox_::warning, MW, tr("Save Error"),
                      "Could not write file " + Name + "." + (problem.isEmpty() ? QString() : "\n" + problem));
}

void File_::load() {
    const QString name = askName(true);
    if (name.isEmpty()) return;
    const auto refuse = [this, &name](const QString& why) {
        MessageBox_::show(MessageBox_::warning, MW, tr("Unable to Read"),
                          "Error reading file " + name + ".\n" + why);
    };
    Data = std::make_unique<ConfigFile_>();
    if (!Data->readFile(localPath(name))) return refuse(QString::fromStdString(Data->getErrorMessage()));
    QString version;
    if (!ExperimentFile_::readVersion(Data->getRoot(), &version))
        return refuse(QStringLiteral("The file names no \"Version\"; it is no experiment file."));
    ExperimentFile_ format;
    QList<SetupNode_*> setups;
    QString problem;
    if (!format.readSetups(Data->getRoot(), &setups, &problem)) return refuse(problem);
    if (version != MW->getVersion())
        MessageBox_::show(MessageBox_::warning, MW, tr("Version Conflict"),
                          "The file " + name +
                              " was created with a different version of Korvane.\nThis may cause problems. "
                              "The file is being loaded anyways, but the\nloaded settings probably need some "
                              "adjustment to run normally.\nThe program may also crash when running this setup.");
    MW->clearSetupTree();
    Name = name;
    for (SetupNode_* setup : setups) MW->getSetupTree()->addTopLevelItem(setup);
    for (SetupNode_* setup : setups) setup->verify();
}

#pragma once
// A plug-in directory holding every kind of entry the registry meets: real
// libraries (two alike, one without a name, one with only the multi-pulse
// call, one with an endless parameter list, one named like a built-in kind),
// files that are no library and a subdirectory.
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "guitesting.h"

namespace guitesting {

inline void layOutPlugins(const QString& directory) {
    ASSERT_TRUE(QDir().mkpath(directory + "/sub"));
    const std::vector<std::pair<const char*, const char*>> libraries = {
        {PLS_PLUGIN_SCALE, "scale.so"},     {PLS_PLUGIN_SCALE, "scale_copy.so"},
        {PLS_PLUGIN_ENDLESS, "endless.so"}, {PLS_PLUGIN_MULTIONLY, "multionly.so"},
        {PLS_PLUGIN_UNNAMED, "unnamed.so"}, {PLS_PLUGIN_BUILTINNAME, "linearloss.so"},
    };
    for (const auto& [source, name] : libraries)
        ASSERT_TRUE(QFile::copy(source, directory + "/" + name)) << name;
    WorkingDirectory::write(directory + "/notes.txt", "not a library");
    WorkingDirectory::write(directory + "/broken.so", "not a library either");
}

}  // namespace guitesting

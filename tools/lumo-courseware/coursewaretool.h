#pragma once

#include <QStringList>

class QTextStream;

// The whole command line of lumo-courseware, with its streams passed in so
// tests run it in-process. Returns the exit code: 0 done, 1 done with
// problems (entries skipped or damaged), 2 not done (bad file or usage).
int RunCoursewareTool(const QStringList &arguments, QTextStream &out, QTextStream &err);

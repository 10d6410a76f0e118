#pragma once

#include <QCoreApplication>

#include <cstdlib>

namespace ProtocolFuzz {

// One application object for the whole run, and no error log on disk.
inline void ensureApplication()
{
    static int argc = 1;
    static char name[] = "fuzz_protocol";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app = [] {
        setenv("LUMO_ERROR_LOG", "/dev/null", 1);
        return new QCoreApplication(argc, argv);
    }();
    Q_UNUSED(app)
}

} // namespace ProtocolFuzz

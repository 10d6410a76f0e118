// The student program's start-up as main() runs it: the main window with its
// controls and units, loaded and shown.
#include "bench/startup/probereport.h"
#include "client/shell/form1.h"
#include "client/shell/shellstyle.h"
#include "client/shell/startoptions.h"
#include "client/shell/wiring.h"
#include "common/desktop/chinesefonts.h"
#include "common/desktop/translations.h"
#include "common/prompter.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Global::InstallChineseFonts();
    Global::InstallTranslators();
    ShellStyle::Install();
    Global::ScriptedPrompter prompter;
    Form1 form(prompter);
    new FirstPaintProbe(&form);
    WireUnits(form, StartOptions{});
    form.Load();
    return app.exec();
}

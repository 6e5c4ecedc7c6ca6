#include "app/shell/HeadlessApp.h"

#include "app/shell/AppRuntime.h"
#include "app/shell/AppUI.h"

#include <QCoreApplication>

namespace HeadlessApp {

int run(Options options) {
    HeadlessUI ui;
    AppRuntime runtime(ui, {options.fileProvider});
    if (!runtime.claimInstance())
        return 1;
    runtime.launch();
    return QCoreApplication::exec();
}

} // namespace HeadlessApp

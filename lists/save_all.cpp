#include "lists/save_all.h"
#include "common/program_paths.h"
#include "common/view.h"
#include "lists/item_list_file.h"
#include "lists/program_settings.h"
#include "lists/tab_settings_file.h"
#include "lists/tab_strip.h"

void saveProgramSettingsFile() {
    WindowLayout layout{};
    view->readLayout(layout);
    saveProgramSettings(programSettings, layout, programPaths.settingsPath);
}

void saveAll(SaveCaller caller) {
    if (caller == SaveCaller::MainWindow) saveProgramSettingsFile();
    if (tabStrip) saveAllListSettings(*tabStrip);
    if (caller == SaveCaller::Scheduler) saveProgramSettingsFile();
    writeAllItemLists();
}

#include "tools/devserver/DemoSeed.h"

#include "platform/AtomicFile.h"
#include "tools/devserver/Workspace.h"

namespace DemoSeed {

namespace {

void writeSample(const Workspace& workspace, const QString& mountName, const QString& path,
                 const QByteArray& text) {
    AtomicFile::write(workspace.filespaceDir(mountName) + "/" + path, text);
}

} // namespace

void apply(Workspace& workspace) {
    if (workspace.isDemoSeeded())
        return;
    workspace.addUser(UserRecord::create("user-demo", kEmail, "Demo User", "admin", kPassword));
    workspace.addFilespace({"fs-team", "Team", "Team", "team"});
    workspace.addFilespace({"fs-marketing", "Marketing", "Marketing", "marketing"});
    writeSample(workspace, "Team", "Welcome.txt", "Welcome to the Team filespace.\n");
    writeSample(workspace, "Team", "Projects/Plan.md", "# Plan\n\n- ship the desktop client\n");
    writeSample(workspace, "Marketing", "Brand/Guidelines.txt", "Use the helm logo on white.\n");
    workspace.markDemoSeeded();
}

} // namespace DemoSeed

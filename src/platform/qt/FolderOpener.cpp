#include "platform/qt/FolderOpener.h"

#include "platform/HookSlot.h"

#include <QDesktopServices>
#include <QUrl>

namespace kinovex {
namespace {

HookSlot<bool(const QString&)> g_hook;

} // namespace

void SetFolderOpenerHook(FolderOpenerHook hook) {
    g_hook.Set(std::move(hook));
}

bool OpenFolder(const QString& folder) {
    if (const FolderOpenerHook hook = g_hook.Get())
        return hook(folder);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

bool OpenUrl(const QString& url) {
    if (const FolderOpenerHook hook = g_hook.Get())
        return hook(url);
    return QDesktopServices::openUrl(QUrl(url));
}

} // namespace kinovex

#include "downloader/entry.h"

#include <commctrl.h>
#include <gdiplus.h>
#include <objbase.h>

#include "downloader/app_globals.h"
#include "downloader/downloader_controller.h"
#include "downloader/message_loop.h"
#include "gui/ctrl.h"

namespace downloader {

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR command_line, int show) {
    InitAppGlobals(instance);
    CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    AppModule* module = AppModule::Get();
    if (module) module->Init(instance);
    ULONG_PTR gdiplus_token = 0;
    Gdiplus::GdiplusStartupInput gdiplus_input;
    Gdiplus::GdiplusStartup(&gdiplus_token, &gdiplus_input, nullptr);
    Gui::Ctrl::InitWin32(instance);

    const int result = Run(command_line, show);

    if (module) module->Term();
    CoUninitialize();
    Gdiplus::GdiplusShutdown(gdiplus_token);
    return result;
}

int Run(LPWSTR command_line, int) {
    MessageLoop loop;
    AppModule* module = AppModule::Get();
    if (module) module->AddMessageLoop(&loop);
    // Lives until the process ends: the managers it owns are never torn down.
    DownloaderController* controller = new DownloaderController();
    base::SetController(controller);
    controller->Start(command_line ? command_line : L"");
    const int result = loop.Run();
    if (module) module->RemoveMessageLoop();
    return result;
}

}  // namespace downloader

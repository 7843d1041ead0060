// A stand-in for shell32.dll that lacks SetCurrentProcessExplicitAppUserModelID, as the shell32 of
// systems before Windows 7 does; win_helper.exe loads it under wine in its place.
extern "C" __declspec(dllexport) int NimbraStandInShell32()
{
    return 1;
}

// SPDX-License-Identifier: MIT
// Starts a Windows program with a Windows pipe as its standard input, fed from this program's own
// standard input until that ends, and exits with the program's exit code. Under Wine a program
// started from Linux reads a Unix pipe, a read that no Windows call can cut short; a read from a
// Windows pipe, which is what a Windows program reads when another one feeds it, can be.
//
//   pipe_input "COMMAND LINE"
#include <windows.h>

namespace {

constexpr DWORD kNotStarted = 125;

DWORD WINAPI forward_input(void* pipe) {
    char bytes[4096];
    DWORD got = 0, put = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), bytes, sizeof bytes, &got, nullptr) && got > 0)
        if (!WriteFile(pipe, bytes, got, &put, nullptr) || put != got) break;
    CloseHandle(pipe);  // the program reads the end of its input
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return kNotStarted;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inheritable, 0) || !SetHandleInformation(write_end, HANDLE_FLAG_INHERIT, 0))
        return kNotStarted;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = read_end;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION program{};
    if (!CreateProcessW(nullptr, argv[1], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &program))
        return kNotStarted;
    CloseHandle(read_end);
    // On a thread of its own: the program's end, not the input's, ends this one.
    if (!CreateThread(nullptr, 0, forward_input, write_end, 0, nullptr)) return kNotStarted;
    WaitForSingleObject(program.hProcess, INFINITE);
    DWORD code = kNotStarted;
    GetExitCodeProcess(program.hProcess, &code);
    ExitProcess(code);  // the forwarding thread may still be waiting for input
}

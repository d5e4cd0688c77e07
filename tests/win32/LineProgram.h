// A program spoken to in lines, such as mci_client.exe: a line to its input,
// its answer line from its output.
#pragma once

#include <windows.h>

#include <string>

struct LineProgram {
    PROCESS_INFORMATION process = {};
    HANDLE toProgram = 0, fromProgram = 0;

    // Starts the command line, in the job given (if any) before it runs.
    bool start(const std::string& commandLine, HANDLE job = 0) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, 0, TRUE};
        HANDLE programIn, programOut;
        if (!CreatePipe(&programIn, &toProgram, &inherit, 0) || !CreatePipe(&fromProgram, &programOut, &inherit, 0))
            return false;
        SetHandleInformation(toProgram, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(fromProgram, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = programIn;
        startup.hStdOutput = startup.hStdError = programOut;
        std::string line = commandLine;
        bool started = CreateProcessA(0, &line[0], 0, 0, TRUE, CREATE_SUSPENDED, 0, 0, &startup, &process) != 0;
        if (started && job)
            AssignProcessToJobObject(job, process.hProcess);
        if (started)
            ResumeThread(process.hThread);
        CloseHandle(programIn);
        CloseHandle(programOut);
        return started;
    }
    std::string say(const std::string& command) {
        std::string line = command + "\n", answer;
        DWORD done;
        WriteFile(toProgram, line.data(), (DWORD)line.size(), &done, 0);
        char c;
        while (ReadFile(fromProgram, &c, 1, &done, 0) && done && c != '\n')
            if (c != '\r')
                answer += c;
        return answer;
    }
    // Its input ends, and so does it (it is waited for a while).
    ~LineProgram() {
        if (toProgram)
            CloseHandle(toProgram);
        if (process.hProcess) {
            WaitForSingleObject(process.hProcess, 10000);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        if (fromProgram)
            CloseHandle(fromProgram);
    }
};

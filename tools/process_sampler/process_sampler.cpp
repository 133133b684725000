// Watches a running Windows program for the soak run: every few seconds it
// prints the program's handle count and memory as a line of CSV, until the
// program ends.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

namespace {

// The system's handle list: Windows' own layout, which the SDK headers leave
// out.
const ULONG kSystemExtendedHandleInformation = 64;
const NTSTATUS kStatusInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

struct HandleEntry {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG attributes;
    ULONG reserved;
};

struct HandleList {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};

// The one running process with this executable name; 0 when there is none or
// more than one.
DWORD FindProcess(const char* imageName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "process_sampler: no process list (error %lu)\n", GetLastError());
        return 0;
    }
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    DWORD found = 0;
    int matches = 0;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (_stricmp(entry.szExeFile, imageName) == 0) {
            found = entry.th32ProcessID;
            ++matches;
        }
    }
    CloseHandle(snapshot);
    if (matches != 1) {
        std::fprintf(stderr, "process_sampler: %d processes named %s\n", matches, imageName);
        return 0;
    }
    return found;
}

// Counted in the system's handle list, because Wine answers
// GetProcessHandleCount with 0 for every process. Returns -1 on failure.
long CountHandles(DWORD processId, std::vector<char>& buffer) {
    ULONG needed = 0;
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(
                static_cast<SYSTEM_INFORMATION_CLASS>(kSystemExtendedHandleInformation),
                buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
           kStatusInfoLengthMismatch) {
        buffer.resize(buffer.size() * 2);
    }
    if (status < 0) {
        std::fprintf(stderr, "process_sampler: no handle list (status 0x%08lx)\n",
                     static_cast<unsigned long>(status));
        return -1;
    }
    const HandleList* list = reinterpret_cast<const HandleList*>(buffer.data());
    long count = 0;
    for (ULONG_PTR i = 0; i < list->count; ++i) {
        if (list->entries[i].processId == processId) {
            ++count;
        }
    }
    return count;
}

// One line of CSV: seconds since the first sample, handles, working set and
// private committed memory (what Windows calls PagefileUsage), both in KiB.
bool PrintSample(HANDLE process, DWORD processId, ULONGLONG start, std::vector<char>& buffer) {
    const long handles = CountHandles(processId, buffer);
    if (handles < 0) {
        return false;
    }
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    if (!GetProcessMemoryInfo(process, &memory, sizeof(memory))) {
        std::fprintf(stderr, "process_sampler: no memory counters (error %lu)\n", GetLastError());
        return false;
    }
    std::printf("%llu,%ld,%llu,%llu\n", (GetTickCount64() - start) / 1000, handles,
                static_cast<unsigned long long>(memory.WorkingSetSize) / 1024,
                static_cast<unsigned long long>(memory.PagefileUsage) / 1024);
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::atoi(argv[2]) <= 0) {
        std::fprintf(stderr, "usage: process_sampler IMAGE-NAME SECONDS\n");
        return 2;
    }
    const DWORD processId = FindProcess(argv[1]);
    if (processId == 0) {
        return 2;
    }
    HANDLE process =
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, processId);
    if (process == nullptr) {
        std::fprintf(stderr, "process_sampler: cannot open %s (error %lu)\n", argv[1],
                     GetLastError());
        return 2;
    }
    const DWORD interval = static_cast<DWORD>(std::atoi(argv[2])) * 1000;
    const ULONGLONG start = GetTickCount64();
    std::vector<char> buffer(1 << 16);
    std::printf("seconds,handles,working_set_kib,private_kib\n");
    bool sampled = true;
    // Waiting on the process is the pause between samples, so the last
    // sample is at most one interval before the program ends.
    do {
        sampled = PrintSample(process, processId, start, buffer);
    } while (sampled && WaitForSingleObject(process, interval) == WAIT_TIMEOUT);
    CloseHandle(process);
    return sampled ? 0 : 1;
}

// A stand-in for the BOINC client in one slot folder, for boinc-client.sh.
// It writes the slot's init_data.xml (this process as the client, a
// checkpoint period of 1 s) and the shared-memory file the runtime attaches
// to, then, ten times a second: sends the message the script wrote into
// SLOT/request ("<suspend/>", "<resume/>", "<quit/>", "<abort/>"; the file
// is removed once sent, "end" ends the client) on the process-control
// channel, and writes the last fraction done the application reported into
// SLOT/fraction. It gives up after 10 minutes.
//   numen-boinc-fake-client SLOT
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include <boinc/app_ipc.h>
#include <unistd.h>

int create_shmem_mmap(const char* path, size_t size, void** p);   // the library's, lib/shmem.h

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: numen-boinc-fake-client SLOT\n");
        return 2;
    }
    const fs::path slot = argv[1];
    fs::current_path(slot);
    void* memory = nullptr;
    if (create_shmem_mmap("boinc_mmap_file", sizeof(SHARED_MEM), &memory) != 0) {
        std::fprintf(stderr, "cannot create the shared memory file\n");
        return 1;
    }
    SHARED_MEM& shm = *static_cast<SHARED_MEM*>(memory);
    std::memset(&shm, 0, sizeof shm);

    APP_INIT_DATA aid;
    aid.shmem_seg_name = -1;   // the memory-mapped file, as clients since version 6
    aid.client_pid = int(getpid());
    aid.checkpoint_period = 1;
    aid.fraction_done_start = 0;
    aid.fraction_done_end = 1;
    FILE* init = std::fopen("init_data.xml.new", "w");
    write_init_data_file(init, aid);
    std::fclose(init);
    fs::rename("init_data.xml.new", "init_data.xml");

    char message[MSG_CHANNEL_SIZE];
    for (int tick = 0; tick < 6000; ++tick) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (fs::exists("request")) {
            std::ifstream in("request");
            std::string request{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            if (request.rfind("end", 0) == 0) return 0;
            if (shm.process_control_request.send_msg(request.c_str())) fs::remove("request");
        }
        if (shm.app_status.get_msg(message)) {
            const char* value = std::strstr(message, "<fraction_done>");
            if (value != nullptr) {
                std::ofstream("fraction.new") << std::atof(value + std::strlen("<fraction_done>")) << "\n";
                fs::rename("fraction.new", "fraction");
            }
        }
    }
    return 1;
}

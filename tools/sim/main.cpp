// zarvox-sim: the headless test bench. Loads tracks and bikes without a
// window and reports on them; see sim_cli.h for how modes are added.
#include "sim_cli.h"

#include <cstring>

int main(int argc, char** argv)
{
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            zv::sim_tool::print_usage(stdout);
            return 0;
        }
    }
    zv::sim_tool::Options options;
    if (!zv::sim_tool::parse_command_line(argc, argv, options)) {
        zv::sim_tool::print_usage(stderr);
        return zv::sim_tool::k_exit_failure;
    }
    return zv::sim_tool::run(options);
}

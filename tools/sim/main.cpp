// zarvox-sim: the headless test bench. Loads tracks and bikes without a
// window and reports on them; see sim_cli.h for how modes are added.
#include "sim_cli.h"

int main(int argc, char** argv)
{
    zv::sim_tool::Options options;
    if (!zv::sim_tool::parse_command_line(argc, argv, options)) {
        zv::sim_tool::print_usage(stderr);
        return zv::sim_tool::k_exit_failure;
    }
    return zv::sim_tool::run(options);
}

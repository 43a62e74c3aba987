#include "app/command_line.h"
#include "app/startup.h"

int main(int argc, char** argv)
{
    if (std::optional<int> status = zv::app::answer_information_request(argc, argv))
        return *status;
    return zv::app::run(argc, argv);
}

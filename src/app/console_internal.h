// The console commands that live beside their file and name rules
// (console_files.cpp), called from the command table.
#pragma once

namespace zv::app {

struct Game;

inline constexpr int k_max_demo_backups = 100;

void console_namedemo(Game& g, const char* args);
void console_readsetup(Game& g, const char* args);
void console_writesetup(Game& g, const char* args);
void console_sendfile(Game& g, const char* args);
void console_listfiles(Game& g, const char* args);

}  // namespace zv::app

// Drives the menus as a player would, one key per tick, on fresh settings
// and a fresh menu state (both put back afterwards).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_loop.h"
#include "app/menu.h"
#include "app/menu_model.h"
#include "core/settings.h"

namespace zv::test {

class MenuFixture : public ::testing::Test {
protected:
    MenuFixture()
    {
        core::reset_settings();
        app::reset_menu_state();
    }
    ~MenuFixture() override
    {
        app::reset_menu_state();
        core::reset_settings();
    }

    // One key in a tick of its own.
    void key(const app::UiInput& in)
    {
        app::menu_begin_tick(g);
        app::menu_key(g, in);
    }
    void key(app::UiKey k) { key(app::pressed(k)); }
    void type(std::string_view text)
    {
        for (char c : text)
            key(app::typed(static_cast<unsigned char>(c)));
    }
    app::MenuState& st() { return app::menu_state(); }
    // The labels shown on the open page, or on `page` after opening it.
    std::vector<std::string> labels()
    {
        app::ensure_page(g);
        std::vector<std::string> out;
        for (const app::Widget& w : st().page.items)
            out.push_back(w.shown_label());
        return out;
    }
    std::vector<std::string> labels(int page)
    {
        g.menu_page = page;
        return labels();
    }
    // Index of the item showing `label` on the open page; -1 without one.
    int item(const std::string& label)
    {
        const std::vector<std::string> l = labels();
        const auto at = std::find(l.begin(), l.end(), label);
        return at == l.end() ? -1 : static_cast<int>(at - l.begin());
    }
    void go_to(const std::string& label)
    {
        const int i = item(label);
        ASSERT_GE(i, 0) << label;
        st().current = i;
    }
    void go_to(int page, const std::string& label)
    {
        g.menu_page = page;
        go_to(label);
    }

    app::Game g;
};

}  // namespace zv::test

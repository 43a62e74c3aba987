// A stand-in for the game's texture and model loader: every name asked for
// is recorded and gets an id (the same name the same id, from 1 in the order
// first asked), except names holding "missing" or listed in `missing`,
// which do not load. It serves as the loader while it lives.
#pragma once

#include "track/resources.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace zv::test {

class FakeTextures : public track::ResourceLoader {
public:
    FakeTextures() { track::set_resource_loader(this); }
    ~FakeTextures() override { track::set_resource_loader(nullptr); }
    FakeTextures(const FakeTextures&) = delete;
    FakeTextures& operator=(const FakeTextures&) = delete;

    track::TextureId load_texture(std::string_view name, unsigned) override { return id(name); }
    track::ModelId load_model(std::string_view name) override { return id(name); }
    // Name of a texture handed out, "" for none.
    std::string name_of(track::TextureId id) const
    {
        return id == 0 || id > names.size() ? std::string() : names[id - 1];
    }

    std::vector<std::string> names;      // handed-out names, id = index + 1
    std::vector<std::string> requested;  // every request in order
    std::vector<std::string> missing;

private:
    std::uint32_t id(std::string_view name)
    {
        requested.emplace_back(name);
        if (name.find("missing") != std::string_view::npos ||
            std::find(missing.begin(), missing.end(), name) != missing.end())
            return 0;
        auto it = std::find(names.begin(), names.end(), name);
        if (it == names.end())
            it = names.emplace(names.end(), name);
        return static_cast<std::uint32_t>(it - names.begin() + 1);
    }
};

}  // namespace zv::test

// Built-in bike model names and their paint prefixes.
#include "core/bike_names.h"

namespace zv::core {

const std::array<BikeModelName, k_bike_model_count> k_bike_models = {{
    {"450sxf(2017)", "450sxfv2016-"},
    {"crf450(2017)", "crf450v2017-"},
    {"fc450(2017)", "fc450v2016-"},
    {"kx450f(2017)", "kx450fv2016-"},
    {"rmz450(2017)", "rmz450-"},
    {"yz450f(2017)", "yz450fv2014-"},
    {"450sxf(2016)", "450sxfv2016-"},
    {"crf450(2016)", "crf450v2013-"},
    {"kx450f(2016)", "kx450fv2016-"},
    {"rmz450(2016)", "rmz450-"},
    {"yz450f(2016)", "yz450fv2014-"},
    {"450sxf(2013)", "450sxfv2013-"},
    {"crf450(2013)", "crf450v2013-"},
    {"kx450f(2013)", "kx450f-"},
    {"rmz450(2013)", "rmz450-"},
    {"yz450f(2013)", "yz450f-"},
    {"450sxf(2011)", "450sxf-"},
    {"crf450(2011)", "crf450-"},
    {"kx450f(2011)", "kx450f-"},
    {"rmz450(2011)", "rmz450-"},
    {"yz450f(2011)", "yz450f-"},
    {"350sxf(2017)", "350sxfv2016-"},
    {"350sxf(2013)", "350sxfv2013-"},
    {"350sxf(2011)", "350sxf-"},
    {"250sx(2012)", "250sx-"},
    {"cr250(2007)", "cr250-"},
    {"kx250(2006)", "kx250-"},
    {"rm250(2008)", "rm250-"},
    {"yz250(2012)", "yz250-"},
    {"250sxf(2017)", "250sxfv2016-"},
    {"crf250(2017)", "crf250v2014-"},
    {"fc250(2017)", "fc250v2016-"},
    {"kx250f(2017)", "kx250fv2017-"},
    {"rmz250(2017)", "rmz250v2010-"},
    {"yz250f(2017)", "yz250fv2014-"},
    {"250sxf(2016)", "250sxfv2016-"},
    {"crf250(2016)", "crf250v2014-"},
    {"kx250f(2016)", "kx250fv2013-"},
    {"rmz250(2016)", "rmz250v2010-"},
    {"yz250f(2016)", "yz250fv2014-"},
    {"250sxf(2013)", "250sxfv2013-"},
    {"crf250(2013)", "crf250v2010-"},
    {"kx250f(2013)", "kx250fv2013-"},
    {"rmz250(2013)", "rmz250v2010-"},
    {"yz250f(2013)", "yz250fv2010-"},
    {"250sxf(2009)", "250sxf-"},
    {"crf250(2009)", "crf250-"},
    {"kx250f(2009)", "kx250f-"},
    {"rmz250(2009)", "rmz250-"},
    {"yz250f(2009)", "yz250f-"},
    {"crf250(2008)", "crf250-"},
    {"kx250f(2008)", "kx250f-"},
    {"rmz250(2008)", "rmz250-"},
    {"yz250f(2008)", "yz250f-"},
    {"crf250(2007)", "crf250-"},
    {"kx250f(2007)", "kx250f-"},
    {"rmz250(2007)", "rmz250-"},
    {"yz250f(2007)", "yz250f-"},
    {"yz250f_se(2006)", "yz250f_se-"},
    {"125sx", "125sx-"},
    {"cr125", "cr125-"},
    {"kx125", "kx125-"},
    {"rm125", "rm125-"},
    {"yz125", "yz125-"},
    {"rs50cr", "cr125-"},
    {"rs50kx", "kx125-"},
    {"rs50rm", "rm125-"},
    {"rs50yz", "yz125-"},
}};

const std::array<const char*, k_bike_model_count> k_bike_table_order = {
    "450sxf(2017)", "crf450(2017)", "fc450(2017)", "kx450f(2017)", "rmz450(2017)", "yz450f(2017)",
    "350sxf(2017)", "450sxf(2016)", "crf450(2016)", "kx450f(2016)", "rmz450(2016)", "yz450f(2016)",
    "crf450(2013)", "kx450f(2013)", "rmz450(2013)", "yz450f(2013)", "450sxf(2013)", "350sxf(2013)",
    "crf450(2011)", "kx450f(2011)", "rmz450(2011)", "yz450f(2011)", "450sxf(2011)", "350sxf(2011)",
    "250sx(2012)", "cr250(2007)", "kx250(2006)", "rm250(2008)", "yz250(2012)", "crf250(2017)",
    "fc250(2017)", "kx250f(2017)", "rmz250(2017)", "yz250f(2017)", "250sxf(2017)", "crf250(2016)",
    "kx250f(2016)", "rmz250(2016)", "yz250f(2016)", "250sxf(2016)", "crf250(2013)", "kx250f(2013)",
    "rmz250(2013)", "yz250f(2013)", "250sxf(2013)", "crf250(2009)", "kx250f(2009)", "rmz250(2009)",
    "yz250f(2009)", "250sxf(2009)", "crf250(2008)", "kx250f(2008)", "rmz250(2008)", "yz250f(2008)",
    "cr125", "kx125", "rm125", "yz125", "125sx", "crf250(2007)",
    "kx250f(2007)", "rmz250(2007)", "yz250f(2007)", "yz250f_se(2006)", "rs50cr", "rs50kx",
    "rs50rm", "rs50yz",
};

int bike_model_index(std::string_view name)
{
    for (int i = 0; i < k_bike_model_count; ++i)
        if (name == k_bike_models[static_cast<std::size_t>(i)].name)
            return i;
    return -1;
}

const char* bike_paint_prefix(std::string_view name)
{
    int i = bike_model_index(name);
    return i < 0 ? nullptr : k_bike_models[static_cast<std::size_t>(i)].paint_prefix;
}

}  // namespace zv::core

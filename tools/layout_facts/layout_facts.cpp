// The windows' layout tables as the scripts that drive the windows on a
// screen read them (scripts/lib/x_session.sh, which builds this and runs it):
// each table included as the program includes it, printed as shell
// assignments. For a table given PREFIX: PREFIX_CAPTION, PREFIX_SIZE (the
// client area's width and height in twips) and for each control PREFIX_NAME
// (its name in capitals) = (Left Top Width Height) in twips from the
// window's corner, its containers' places added. Plain C++: no Qt needed.
#include <cctype>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Control {
    std::string name;
    std::string container;
    int left, top, width, height;
};

struct Table {
    std::string prefix;
    std::string caption;
    int width = 0;
    int height = 0;
    std::vector<Control> controls;
};

// A shell word in double quotes, whatever it holds.
std::string quoted(const std::string &text)
{
    std::string word = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\' || c == '$' || c == '`')
            word += '\\';
        word += c;
    }
    return word + '"';
}

// False when a control's container is neither the form nor listed before it.
bool print(const Table &table)
{
    std::map<std::string, std::pair<int, int>> origin{{"form", {0, 0}}};
    std::printf("%sCAPTION=%s\n%sSIZE=(%d %d)\n", table.prefix.c_str(), quoted(table.caption).c_str(),
                table.prefix.c_str(), table.width, table.height);
    for (const Control &control : table.controls) {
        const auto container = origin.find(control.container);
        if (container == origin.end())
            return false;
        const int left = container->second.first + control.left;
        const int top = container->second.second + control.top;
        origin[control.name] = {left, top};
        std::string name = control.name;
        for (char &c : name)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        std::printf("%s%s=(%d %d %d %d)\n", table.prefix.c_str(), name.c_str(), left, top, control.width,
                    control.height);
    }
    return true;
}

} // namespace

#define FORM_CAPTION(text) table.caption = text;
#define FORM_SIZE(w, h)                                                                                                \
    table.width = w;                                                                                                   \
    table.height = h;
#define FORM_CONTROL(name, container, l, t, w, h) table.controls.push_back({#name, #container, l, t, w, h});
#define FORM_LINE(name, from, to, y)

int main()
{
    std::vector<Table> tables;
    {
        Table table;
#include "chat_window/velmora.layout"
        tables.push_back(table);
    }
    {
        Table table;
        table.prefix = "AJUDA_";
#include "aux_windows/ajuda.layout"
        tables.push_back(table);
    }
    {
        Table table;
        table.prefix = "SOBRE_VELMORA_";
#include "aux_windows/sobre_velmora.layout"
        tables.push_back(table);
    }
    for (const Table &table : tables)
        if (!print(table))
            return 1;
    return 0;
}

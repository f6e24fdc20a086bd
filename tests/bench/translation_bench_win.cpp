// How long one translation pass takes over a large window: 200 components, a language file
// section of 400 lines (each component's text in another order, and as many lines for
// nothing), with the system's own upper-case rules. Prints one Markdown table row.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "settings/settings_win.h"
#include "settings/translation.h"

using namespace corvandel;

namespace {

double Milliseconds() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

ComponentList BigWindow() {
    ComponentList window;
    window.Add("Form1", "TForm1").Define("Caption", "Окно");
    for (int i = 0; i < 200; ++i) {
        const std::string name = "Component" + std::to_string(i);
        Component& component = window.Add(name, i % 4 == 0 ? "TListView" : "TMenuItem");
        component.Define("Caption", "Текст номер " + std::to_string(i)).Define("Hint", "");
        if (i % 4 == 0) {
            for (int column = 0; column < 3; ++column)
                component.Define("Columns[" + std::to_string(column) + "].Caption", "Колонка");
        }
    }
    return window;
}

}  // namespace

int wmain() {
    std::vector<std::string> lines;
    for (int i = 0; i < 200; ++i)
        lines.push_back("Form1.Component" + std::to_string(i) + ".Caption=Text " +
                        std::to_string(i));
    for (int i = 0; i < 200; ++i)
        lines.push_back("Form2.Other" + std::to_string(i) + ".Caption=Nothing");
    std::shuffle(lines.begin(), lines.end(), std::mt19937(7));

    std::vector<double> times;
    for (int run = 0; run < 20; ++run) {
        ComponentList window = BigWindow();
        Translation translation(SystemLocale());
        const double start = Milliseconds();
        translation.TranslateForm(window, WindowRole::Main, lines, {});
        times.push_back(Milliseconds() - start);
    }
    std::sort(times.begin(), times.end());
    std::printf(
        "| translation pass: 200 components, 400 lines (ms, min / median / max) | %.1f / %.1f / "
        "%.1f |\n",
        times.front(), times[times.size() / 2], times.back());
    return 0;
}

#include "WxToolkitFit.h"
#include <wx/toplevel.h>
#include <gtk/gtk.h>
#include <string>

// GTK 3 themes size controls for touch-friendly layouts (a 34 px tall entry,
// generous button padding, a 6 px progress trough). The dialog's template
// sizes are those of a compact desktop dialog, so this window gets a style
// sheet of its own; file choosers and message boxes keep the theme's look.
void FitToolkitStyle(wxTopLevelWindow& window, int progressHeight)
{
    GtkWidget* widget = static_cast<GtkWidget*>(window.GetHandle());
    if (!widget) return;
    gtk_widget_set_name(widget, "fernbow-flash");

    const int bar = progressHeight > 4 ? progressHeight - 2 : 2;
    const std::string css =
        "#fernbow-flash button { padding: 0px 2px; min-height: 0px; min-width: 0px; }\n"
        "#fernbow-flash combobox button { padding: 0px 4px; }\n"
        "#fernbow-flash entry { padding: 0px 4px; min-height: 0px; }\n"
        "#fernbow-flash progressbar trough, #fernbow-flash progressbar progress"
        " { min-height: " + std::to_string(bar) + "px; }\n"
        "#fernbow-flash progressbar progress { border-radius: 0px; }\n";

    GtkCssProvider* provider = gtk_css_provider_new();
    if (gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr)) {
        gtk_style_context_add_provider_for_screen(gtk_widget_get_screen(widget),
                                                  GTK_STYLE_PROVIDER(provider),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    }
    g_object_unref(provider);
}

// GTK's file filters compare letter case; spell each letter as a bracket
// of both cases instead.
std::string FileDialogPattern(const std::string& pattern)
{
    std::string glob;
    for (const char c : pattern) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (g_ascii_isalpha(u))
            glob += std::string("[") + g_ascii_tolower(c) + g_ascii_toupper(c) + "]";
        else
            glob += c;
    }
    return glob;
}

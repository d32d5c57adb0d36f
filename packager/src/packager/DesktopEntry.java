package packager;

import java.nio.file.Path;

/** A freedesktop.org entry that starts the launcher where the packager made the folder. */
final class DesktopEntry {
    private DesktopEntry() {
    }

    static String of(Plan plan) {
        final Path executable = plan.appFolder.resolve(plan.name);
        return "[Desktop Entry]\n"
                + "Type=Application\n"
                + "Name=" + string(plan.name) + "\n"
                + (plan.options.description != null ? "Comment=" + string(plan.options.description) + "\n" : "")
                + "Exec=" + string(execArgument(executable.toString())) + " %F\n"
                + "Icon=" + string(plan.appFolder.resolve(plan.name + ".png").toString()) + "\n"
                + "Terminal=false\n";
    }

    /** An Exec argument, quoted where it must be, with its reserved characters escaped. */
    static String execArgument(String text) {
        if (!text.matches(".*[ \\t\\n\"'\\\\><~|&;$*?#()`].*")) {
            return text;
        }
        return "\"" + text.replaceAll("([\"`$\\\\])", "\\\\$1") + "\"";
    }

    /** A value of type string: backslashes and line breaks escaped. */
    static String string(String text) {
        return text.replace("\\", "\\\\").replace("\n", "\\n").replace("\t", "\\t").replace("\r", "\\r");
    }
}

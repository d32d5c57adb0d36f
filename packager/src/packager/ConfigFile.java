package packager;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;

/** The folder's config.json: the main jar or module, the main class, the class path and the JVM options. */
final class ConfigFile {
    private ConfigFile() {
    }

    static void write(Plan plan, Path folder, List<String> vmArgs) throws IOException {
        final StringBuilder config = new StringBuilder("{\n");
        if (plan.mainModule != null) {
            config.append("  \"mainModule\": ").append(Text.json(plan.mainModule)).append(",\n");
        } else {
            final String jar = Text.slashed(plan.input.relativize(plan.mainJarPath));
            config.append("  \"jar\": ").append(Text.json(jar)).append(",\n");
        }
        config.append("  \"mainClass\": ").append(Text.json(plan.mainClassInternalName)).append(",\n");
        if (!plan.classPath.entries.isEmpty()) {
            config.append("  \"classPath\": ").append(array(plan.classPath.entries)).append(",\n");
        }
        // A packaged program receives its command line, as under java and jpackage, and reads it back as
        // java sets it (programs that restart themselves do).
        config.append("  \"passArguments\": true,\n");
        if (!plan.options.arguments.isEmpty()) {
            config.append("  \"defaultArguments\": ").append(array(plan.options.arguments)).append(",\n");
        }
        if (plan.options.singleInstance != null) {
            config.append("  \"singleInstance\": ").append(Text.json(plan.options.singleInstance)).append(",\n");
        }
        config.append("  \"sunJavaCommand\": true,\n");
        config.append("  \"appPathProperty\": true,\n");
        // Standard output is the program's; LAUNCHER_TRACE=1 shows the launcher's trace for a run.
        config.append("  \"trace\": false,\n");
        if (!plan.extraLaunchers.isEmpty()) {
            config.append("  \"launchers\": {");
            for (int i = 0; i < plan.extraLaunchers.size(); ++i) {
                config.append(i == 0 ? "\n" : ",\n").append(section(plan, plan.extraLaunchers.get(i), vmArgs));
            }
            config.append("\n  },\n");
        }
        config.append("  \"vmArgs\": ").append(array(vmArgs)).append("\n}\n");
        Files.writeString(folder.resolve("config.json"), config, StandardCharsets.UTF_8);
    }

    /**
     * An extra launcher's entry in "launchers": the keys it sets in place of the main launcher's, which the
     * launcher of that name reads; what it leaves out is the main launcher's.
     */
    static String section(Plan plan, ExtraLauncher launcher, List<String> mainVmArgs) {
        final StringBuilder entry = new StringBuilder("    ").append(Text.json(launcher.name)).append(": {");
        final List<String> keys = new java.util.ArrayList<>();
        if (launcher.module != null) {
            keys.add("\"mainModule\": " + Text.json(launcher.module));
        }
        if (launcher.jar != null) {
            if (plan.mainModule != null) {
                keys.add("\"mainModule\": null");  // run from its jar, not from the main launcher's module
            }
            keys.add("\"jar\": " + Text.json(launcher.jar));
            keys.add("\"classPath\": " + array(launcher.classPath, "      "));
        }
        if (launcher.mainClassInternalName != null) {
            keys.add("\"mainClass\": " + Text.json(launcher.mainClassInternalName));
        }
        if (launcher.arguments != null) {
            keys.add("\"defaultArguments\": " + array(launcher.arguments, "      "));
        }
        // The main program's ahead-of-time cache fits only a launcher with its class path.
        final String cacheOption = mainVmArgs.stream().filter(o -> o.startsWith(AOT_CACHE_OPTION)).findFirst()
                .orElse(null);
        if (launcher.javaOptions != null || (cacheOption != null && !launcher.sharesTheClassPath())) {
            final List<String> vmArgs = new java.util.ArrayList<>(launcher.javaOptions != null ? launcher.javaOptions
                    : mainVmArgs.stream().filter(o -> !o.equals(cacheOption)).toList());
            if (launcher.javaOptions != null && cacheOption != null && launcher.sharesTheClassPath()) {
                vmArgs.add(cacheOption);
            }
            keys.add("\"vmArgs\": " + array(vmArgs, "      "));
        }
        if (plan.options.singleInstance != null) {
            // The running copy is the main program's: another launcher's start must not hand its command line to it.
            keys.add("\"singleInstance\": false");
        }
        for (int i = 0; i < keys.size(); ++i) {
            entry.append(i == 0 ? "\n      " : ",\n      ").append(keys.get(i));
        }
        return entry.append(keys.isEmpty() ? "}" : "\n    }").toString();
    }

    /** How the folder's config.json names the main program's ahead-of-time cache. */
    static final String AOT_CACHE_OPTION = "-XX:AOTCache=$APPDIR/";

    /** A JSON array of texts, one to a line. */
    private static String array(List<String> texts) {
        return array(texts, "  ");
    }

    private static String array(List<String> texts, String indent) {
        final StringBuilder array = new StringBuilder("[");
        for (int i = 0; i < texts.size(); ++i) {
            array.append(i == 0 ? "\n  " + indent : ",\n  " + indent).append(Text.json(texts.get(i)));
        }
        return array.append(texts.isEmpty() ? "]" : "\n" + indent + "]").toString();
    }
}

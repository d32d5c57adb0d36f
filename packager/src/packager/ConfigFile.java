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
            final String jar = plan.input.relativize(plan.mainJarPath).toString().replace('\\', '/');
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
        config.append("  \"vmArgs\": ").append(array(vmArgs)).append("\n}\n");
        Files.writeString(folder.resolve("config.json"), config, StandardCharsets.UTF_8);
    }

    /** A JSON array of texts, one to a line. */
    private static String array(List<String> texts) {
        final StringBuilder array = new StringBuilder("[");
        for (int i = 0; i < texts.size(); ++i) {
            array.append(i == 0 ? "\n    " : ",\n    ").append(Text.json(texts.get(i)));
        }
        return array.append(texts.isEmpty() ? "]" : "\n  ]").toString();
    }
}

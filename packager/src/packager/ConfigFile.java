package packager;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;

/** The folder's config.json: the main jar, the main class and the JVM options. */
final class ConfigFile {
    private ConfigFile() {
    }

    static void write(Plan plan, Path folder, List<String> vmArgs) throws IOException {
        final String jar = plan.input.relativize(plan.mainJarPath).toString().replace('\\', '/');
        final StringBuilder config = new StringBuilder("{\n");
        config.append("  \"jar\": ").append(Text.json(jar)).append(",\n");
        config.append("  \"mainClass\": ").append(Text.json(plan.mainClassInternalName)).append(",\n");
        // A packaged program receives its command line, as under java and jpackage.
        config.append("  \"passArguments\": true,\n");
        // Standard output is the program's; LAUNCHER_TRACE=1 shows the launcher's trace for a run.
        config.append("  \"trace\": false,\n");
        config.append("  \"vmArgs\": [");
        for (int i = 0; i < vmArgs.size(); ++i) {
            config.append(i == 0 ? "\n    " : ",\n    ").append(Text.json(vmArgs.get(i)));
        }
        config.append(vmArgs.isEmpty() ? "]\n}\n" : "\n  ]\n}\n");
        Files.writeString(folder.resolve("config.json"), config, StandardCharsets.UTF_8);
    }
}

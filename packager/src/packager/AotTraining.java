package packager;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.regex.Pattern;
import java.util.stream.Collectors;

/** A training run of the packaged program that leaves its ahead-of-time cache in the folder. */
final class AotTraining {
    private AotTraining() {
    }

    /**
     * Runs the packaged program once to record its classes. Returns why it failed, or null. Its current directory
     * is an empty folder of its own, so that what it writes there (a log, say) is not shipped.
     */
    static String train(Plan plan, Path staging) throws IOException {
        final List<String> trainingOptions = withTraining(plan.options.javaOptions);
        ConfigFile.write(plan, staging, trainingOptions);
        ChildProcess.showNote("the training run: the launcher with the java options " + trainingOptions.stream()
                .map(ChildProcess::shellWord).collect(Collectors.joining(" ")) + " in config.json");
        final Path training = plan.options.temp != null ? Files.createDirectory(plan.options.temp.resolve("training"))
                : Files.createTempDirectory("packager-training-");
        final Path log = training.resolve("output.log");
        final long timeout = plan.options.aotTrainingTimeoutSeconds;
        try {
            final List<String> command = List.of(staging.resolve(plan.executableName()).toString());
            final Path current = Files.createDirectory(training.resolve("current"));
            ChildProcess.showStart(command, current);
            final Process process = new ProcessBuilder(command).directory(current.toFile()).redirectErrorStream(true)
                    .redirectOutput(log.toFile()).start();
            ChildProcess.started(process);
            process.getOutputStream().close();  // a program that reads its input gets none, not a wait
            if (!process.waitFor(timeout, TimeUnit.SECONDS)) {
                ChildProcess.end(process);
                return "the training run did not end within " + timeout + " seconds (--aot-training-timeout); a "
                        + "program to be trained must end by itself, for example when it sees the property "
                        + Options.TRAINING_PROPERTY + "=true";
            }
            // Whatever the program printed, in whatever encoding: a byte that is not UTF-8 becomes U+FFFD. The
            // JVM's own lines about the cache are left out, and the staging folder, which is about to go, is
            // named as the folder it becomes.
            final String printed = new String(Files.readAllBytes(log), StandardCharsets.UTF_8);
            ChildProcess.showEnd(command, process.exitValue(), printed);
            final List<String> said = printed.lines()
                    .filter(line -> !isAboutTheCache(line))
                    .map(line -> line.replace(staging.toString(), plan.appFolder.toString())).toList();
            final String lastWords = said.subList(Math.max(0, said.size() - 3), said.size()).stream()
                    .collect(Collectors.joining(" / "));
            if (process.exitValue() != 0) {
                return "the training run ended with status " + process.exitValue() + " (" + lastWords + ")";
            }
            if (!Files.isRegularFile(staging.resolve(Plan.AOT_CACHE))) {
                return "the training run made no ahead-of-time cache (" + lastWords + ")";
            }
            return null;
        } catch (InterruptedException interrupted) {
            Thread.currentThread().interrupt();
            return "the training run was interrupted";
        } finally {
            ChildProcess.ended();
            if (plan.options.temp == null) {
                FileTrees.delete(training).ifPresent(left -> System.err.println("warning: could not remove the "
                        + "training run's folder " + left + "; remove it by hand"));
            }
            Files.deleteIfExists(staging.resolve(Plan.AOT_CACHE + ".config"));
        }
    }

    /** A line the JVM prints while it records and writes the cache, not the program's. */
    private static boolean isAboutTheCache(String line) {
        return CACHE_LINE.matcher(line).find();
    }

    private static final Pattern CACHE_LINE = Pattern.compile("^(Temporary AOTConfiguration recorded|Launching child "
            + "process|Reading AOTConfiguration|AOTCache creation is complete|Removed temporary AOT configuration"
            + "|Picked up JAVA_TOOL_OPTIONS|\\[[^\\]]*\\]\\[(warning|error|info)\\s*\\]\\[(aot|cds))");

    private static List<String> withTraining(List<String> javaOptions) {
        final List<String> options = new ArrayList<>(javaOptions);
        options.add("-XX:AOTCacheOutput=$APPDIR/" + Plan.AOT_CACHE);
        options.add("-D" + Options.TRAINING_PROPERTY + "=true");
        return options;
    }
}

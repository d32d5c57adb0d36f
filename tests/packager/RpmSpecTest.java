package packager;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import java.util.function.Consumer;
import java.util.regex.Pattern;
import java.util.stream.Stream;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * The RPM's spec file, as rpmspec reads it back: each field as the options give it (a % included), the
 * libraries the folder holds left out of Requires, the scriptlets where a package asks for them.
 */
class RpmSpecTest {
    static Plan plan(String name, Consumer<Options> options) {
        final Options given = new Options();
        given.type = "rpm";
        options.accept(given);
        final Plan plan = new Plan(given);
        plan.name = name;
        plan.target = Target.LINUX;
        plan.linuxPackageName = "viewer";
        plan.rpmArchitecture = "x86_64";
        plan.installDir = given.installDir != null ? given.installDir : "/opt/viewer";
        return plan;
    }

    /** Each row: the plan, the libraries held, the licence file, the scriptlets, the lines rpmspec must show. */
    static Stream<Arguments> specs() {
        final Plan service = plan("Viewer", o -> o.launcherAsService = true);
        return Stream.of(
                Arguments.of(plan("Viewer", o -> { }), List.of(), null, Map.of(), List.of("Name: viewer",
                        "Version: 1.0", "Release: 1", "Summary: Desktop program with its own Java runtime",
                        "License: Unknown", "BuildArch: x86_64", "%files", "\"/opt/viewer\"")),
                Arguments.of(plan("Probe 100%", o -> {
                    o.appVersion = "2.1.0";
                    o.linuxAppRelease = "3";
                    o.description = "Finds %{name} and 100% of it";
                    o.vendor = "Example, Ltd";
                    o.aboutUrl = "https://example.com/probe?q=%20";
                    o.linuxRpmLicenseType = "MIT";
                    o.linuxAppCategory = "Applications/Office";
                    o.linuxPackageDeps.addAll(List.of("xdg-utils", "java-common >= 1.2"));
                    o.installDir = "/opt/probe 100";
                }), List.of("libjvm.so", "libc++.so.1"), "LICENSE", Map.of(), List.of("Version: 2.1.0",
                        "Release: 3", "Summary: Finds %{name} and 100% of it", "License: MIT", "Vendor: Example, Ltd",
                        "URL: https://example.com/probe?q=%20", "Group: Applications/Office",
                        "Requires: xdg-utils", "Requires: java-common >= 1.2", "\"/opt/probe 100\"",
                        "%license \"LICENSE\"",
                        "Probe 100%, a Java program with its own Java runtime, installed in /opt/probe", "100.")),
                Arguments.of(plan("Viewer", o -> { }), List.of(), null,
                        Map.of("%preun", "systemctl stop viewer.service || :", "%post", "echo 100%"),
                        List.of("%post", "echo 100%", "%preun", "systemctl stop viewer.service || :")),
                // --launcher-as-service: enabled on installation, stopped and disabled on erasure.
                Arguments.of(service, List.of(), null, ServiceUnit.rpmScriptlets(service), List.of("%post",
                        "    systemctl --no-reload enable 'viewer.service' >/dev/null 2>&1 || :", "%preun",
                        "        systemctl stop 'viewer.service' >/dev/null 2>&1 || :",
                        "    systemctl --no-reload disable 'viewer.service' >/dev/null 2>&1 || :", "%postun",
                        "        systemctl try-restart 'viewer.service' >/dev/null 2>&1 || :")));
    }

    @ParameterizedTest
    @MethodSource("specs")
    void rpmReadsEachFieldAsGiven(Plan plan, List<String> held, String licenseFile, Map<String, String> scriptlets,
            List<String> expected, @TempDir Path temp) throws IOException, InterruptedException {
        final String spec = new RpmSpec(plan, held, List.of(), licenseFile, scriptlets).text();
        assertTrue(Files.isExecutable(Path.of("/usr/bin/rpmspec")),
                "rpmspec is missing: scripts/install-deps.sh installs it");
        final String parsed = rpmspec(Files.writeString(temp.resolve("viewer.spec"), spec, StandardCharsets.UTF_8),
                "--parse");
        final List<String> lines = parsed.lines().toList();
        for (final String line : expected) {
            assertTrue(lines.contains(line), line + " in\n" + parsed);
        }
        assertEquals(-1, parsed.indexOf("%pre\n"), "no section not asked for");
        if (!held.isEmpty()) {
            // The macro as rpm's dependency generator reads it, shown by a subpackage's description.
            final String probe = spec + "\n%package -n probe\nSummary: p\n%description -n probe\n%{__requires_exclude}\n";
            final List<String> probeLines = rpmspec(Files.writeString(temp.resolve("probe.spec"), probe,
                    StandardCharsets.UTF_8), "--parse").lines().toList();
            final Pattern exclude = Pattern.compile(probeLines.get(probeLines.size() - 1));
            for (final String library : held) {
                assertTrue(exclude.matcher(library + "()(64bit)").find(), library + " by " + exclude);
                assertTrue(exclude.matcher(library + "(SUNWprivate_1.1)(64bit)").find(), library + " by " + exclude);
            }
            for (final String needed : List.of("libc.so.6()(64bit)", "libjvm.so.1()(64bit)", "libcxso.1()(64bit)")) {
                assertFalse(exclude.matcher(needed).find(), needed + " is still required, by " + exclude);
            }
        }
    }

    private static String rpmspec(Path spec, String... query) throws IOException, InterruptedException {
        final List<String> command = new java.util.ArrayList<>(List.of("/usr/bin/rpmspec", "-D", "_topdir /nonexistent"));
        command.addAll(List.of(query));
        command.add(spec.toString());
        final Process process = new ProcessBuilder(command).redirectError(ProcessBuilder.Redirect.DISCARD).start();
        final String output = new String(process.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertEquals(0, process.waitFor(), String.join(" ", command));
        return output;
    }
}

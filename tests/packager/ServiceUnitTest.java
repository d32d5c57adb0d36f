package packager;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import org.junit.jupiter.api.Test;

/** The services of a Debian package with several launchers: each its own unit, all in the maintainer scripts. */
class ServiceUnitTest {
    private static Plan plan(boolean mainAsService, String... properties) throws Stop {
        final Options options = new Options();
        options.type = "deb";
        options.launcherAsService = mainAsService;
        final Plan plan = new Plan(options);
        plan.name = "Editor";
        plan.linuxPackageName = "editor";
        plan.installDir = "/opt/editor";
        final List<ExtraLauncher> launchers = new java.util.ArrayList<>();
        for (int i = 0; i < properties.length; ++i) {
            launchers.add(ExtraLauncher.parse(i == 0 ? "sync daemon" : "tool" + i, "--add-launcher", properties[i]));
        }
        plan.extraLaunchers = launchers;
        return plan;
    }

    @Test
    void eachLauncherAskedForIsAUnitOfItsOwn() throws Stop {
        final Plan plan = plan(false, "launcher-as-service=true\ndescription=Keeps plans in step", "");
        assertEquals(List.of(new ServiceUnit.Service("editor-sync_daemon.service", "/opt/editor/sync daemon",
                "Keeps plans in step")), ServiceUnit.services(plan));
        assertTrue(ServiceUnit.text(ServiceUnit.services(plan).get(0))
                .contains("\nExecStart=\"/opt/editor/sync daemon\"\n"));
        // Left out, the property is the main launcher's option.
        assertEquals(List.of("editor.service", "editor-tool1.service"),
                ServiceUnit.services(plan(true, "launcher-as-service=false", "")).stream()
                        .map(ServiceUnit.Service::fileName).toList());
    }

    @Test
    void theMaintainerScriptsEnableStopAndPurgeEveryUnit() throws Stop {
        final Plan plan = plan(true, "launcher-as-service=true");
        final String postinst = ServiceUnit.debianPostinst(plan);
        for (final String unit : List.of("'editor.service'", "'editor-sync_daemon.service'")) {
            assertTrue(postinst.contains("deb-systemd-helper enable " + unit + " >/dev/null\n"), postinst);
            assertTrue(postinst.contains("deb-systemd-invoke restart " + unit + " >/dev/null || true\n"), postinst);
        }
        assertTrue(ServiceUnit.debianPrerm(plan)
                .contains("deb-systemd-invoke stop 'editor.service' 'editor-sync_daemon.service' >/dev/null"));
        assertTrue(ServiceUnit.debianPostrm(plan)
                .contains("deb-systemd-helper purge 'editor.service' 'editor-sync_daemon.service' >/dev/null"));
    }

    /**
     * The RPM's scriptlets, run by sh with rpm's first argument (the count of the package's versions installed
     * afterwards): every unit enabled on installation alone, and disabled on erasure alone, whether systemd runs
     * or not. The systemctl on their path records what it is asked; the e2e test runs the real one.
     */
    @org.junit.jupiter.params.ParameterizedTest(name = "{0} {1}")
    @org.junit.jupiter.params.provider.CsvSource(delimiter = '|', value = {
        "%post|1|--no-reload enable 'editor.service' 'editor-sync_daemon.service'",
        "%post|2|",
        "%preun|0|--no-reload disable 'editor.service' 'editor-sync_daemon.service'",
        "%preun|1|",
        "%postun|0|"})
    void theRpmScriptletsEnableOnInstallationAndDisableOnErasure(String section, String count, String expected,
            @org.junit.jupiter.api.io.TempDir Path temp) throws Exception {
        final Path systemctl = temp.resolve("systemctl");
        Files.writeString(systemctl, "#!/bin/sh\nfor a; do printf \"'%s' \" \"$a\"; done >> \"$0.log\"; echo >> \"$0.log\"\n");
        FileTrees.makeExecutable(systemctl);
        final String script = ServiceUnit.rpmScriptlets(plan(true, "launcher-as-service=true")).get(section);
        final ProcessBuilder run = new ProcessBuilder("/bin/sh", "-c", script, "sh", count).redirectErrorStream(true);
        run.environment().put("PATH", temp + ":/usr/bin:/bin");
        final Process process = run.start();
        final String said = new String(process.getInputStream().readAllBytes(), java.nio.charset.StandardCharsets.UTF_8);
        assertEquals(0, process.waitFor(), said);
        final Path log = temp.resolve("systemctl.log");
        final List<String> calls = Files.exists(log) ? Files.readAllLines(log).stream()
                .filter(line -> line.contains("'enable'") || line.contains("'disable'")).toList() : List.of();
        assertEquals(expected == null ? List.of() : List.of(quotedWords(expected)), calls);
    }

    /** The words as the recording systemctl writes them: each in single quotes, then a space. */
    private static String quotedWords(String words) {
        final StringBuilder quoted = new StringBuilder();
        for (final String word : words.replace("'", "").split(" ")) {
            quoted.append('\'').append(word).append("' ");
        }
        return quoted.toString();
    }
}

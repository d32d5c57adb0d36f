package probe;

import java.lang.management.ManagementFactory;

// A Java program that reports what the launcher handed it, or behaves in the
// way its test asks for through the system property probe.mode.
public final class Probe {
    static {
        if ("init".equals(System.getProperty("probe.mode"))) {
            throw new IllegalStateException("probe failure in a static initialiser");
        }
    }

    public static void main(String[] args) throws Exception {
        System.out.println("probe: args " + args.length);
        int status = Integer.getInteger("probe.status", 0);
        switch (System.getProperty("probe.mode", "report")) {
            case "report":
                for (String option : ManagementFactory.getRuntimeMXBean().getInputArguments()) {
                    System.out.println("probe: option " + option);
                }
                System.out.println("probe: class path " + System.getProperty("java.class.path"));
                System.out.println("probe: value " + System.getProperty("probe.value"));
                break;
            case "args":
                // Each argument's UTF-16 units, so that no output encoding can blur them.
                for (String arg : args) {
                    StringBuilder units = new StringBuilder("arg");
                    for (char unit : arg.toCharArray()) units.append(String.format(" %04x", (int) unit));
                    System.out.println("probe: " + units);
                }
                System.out.println("probe: command " + System.getProperty("sun.java.command"));
                break;
            case "folders":
                System.out.println("probe: user.dir " + System.getProperty("user.dir"));
                System.out.println("probe: app.home " + System.getProperty("app.home"));
                System.out.println("probe: relative file " + new String(
                        java.nio.file.Files.readAllBytes(java.nio.file.Paths.get("relative.txt")), "UTF-8").trim());
                break;
            case "worker":
                Thread worker = new Thread(() -> {
                    pause(1000);
                    System.out.println("probe: worker done");
                });
                worker.start();
                System.out.println("probe: main returns");
                break;
            case "exit":
                System.exit(status);
                break;
            case "notUtf8":
                System.out.write(new byte[] {'c', 'a', 'f', (byte) 0xE9, '\n'});  // "café" in Latin-1
                System.out.flush();
                System.exit(status);
                break;
            case "exitFromThread":
                new Thread(() -> {
                    pause(300);
                    System.exit(status);
                }).start();
                System.out.println("probe: main returns");
                break;
            case "handler":
                Thread.setDefaultUncaughtExceptionHandler(
                        (thread, failure) -> System.out.println("probe: handled " + failure.getMessage() + " in " + thread.getName()));
                throw new IllegalStateException("probe failure");
            case "hang":
                Thread.sleep(Long.MAX_VALUE);
                break;
            case "throw":
                throw new IllegalStateException("probe failure");
            default:
                System.out.println("probe: unknown mode");
        }
    }

    private static void pause(long millis) {
        try {
            Thread.sleep(millis);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }
}

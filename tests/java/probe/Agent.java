package probe;

// A Java agent, loaded only when -javaagent names the jar that holds it.
public final class Agent {
    public static void premain(String options) {
        System.out.println("probe: agent loaded with " + options);
        if (options != null && options.startsWith("exit=")) {
            System.exit(Integer.parseInt(options.substring(5)));
        }
    }
}

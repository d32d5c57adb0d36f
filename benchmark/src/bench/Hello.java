package bench;

// A small program of the kind a launch benchmark is about: a little string
// work and one line of output, so that start-up is most of its time.
public final class Hello {
    public static void main(String[] args) {
        StringBuilder text = new StringBuilder("Hello from ").append(System.getProperty("bench.name"));
        for (int i = 0; i < 3; i++) {
            text.append(String.format(" %d", i * i));
        }
        System.out.println(text);
    }
}

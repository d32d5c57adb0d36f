package bench;

// Returns from main at once: what remains is the fixed cost of a launch.
public final class Empty {
    public static void main(String[] args) {
    }
}

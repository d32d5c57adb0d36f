package probe;

// A class whose main is not static.
public final class InstanceMain {
    public void main(String[] args) {
        System.out.println("probe: instance main");
    }
}

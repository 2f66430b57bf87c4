namespace drive {
class Motor {
public:
  static int limit;
  int speed;
  void run();
};
struct Gear {
  static short limit;
};
int Motor::limit = 7;
short Gear::limit;
void Motor::run() {
  static int count;
  count += speed;
}
} // namespace drive
drive::Motor motor;

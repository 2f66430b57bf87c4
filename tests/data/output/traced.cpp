// Names that hold RtePortSR: each read of one while the symbol names are
// made shows on the console.
struct Rte_RtePortSR_Sample {
  unsigned short speed;
  unsigned char valid;
};
namespace Rte_RtePortSR_Ports {
struct Port {
  Rte_RtePortSR_Sample Rte_RtePortSR_Value[2];
  static unsigned int Rte_RtePortSR_Count;
};
Port port;
unsigned int Port::Rte_RtePortSR_Count = 1;
} // namespace Rte_RtePortSR_Ports
unsigned int Rte_RtePortSR_Task() {
  static unsigned int calls;
  return ++calls;
}

#include "cpu/noscpuiddescriptors.h"

namespace {

// Caches only (TLB and prefetch bytes are not); 40h says that the level has
// none.
constexpr TCacheDescriptor Descriptors[] = {
    {0x06, TCacheLevel::L1Instruction, 8, 4, 32},   {0x08, TCacheLevel::L1Instruction, 16, 4, 32},
    {0x09, TCacheLevel::L1Instruction, 32, 4, 64},  {0x30, TCacheLevel::L1Instruction, 32, 8, 64},
    {0x0A, TCacheLevel::L1Data, 8, 2, 32},          {0x0C, TCacheLevel::L1Data, 16, 4, 32},
    {0x0D, TCacheLevel::L1Data, 16, 4, 64},         {0x0E, TCacheLevel::L1Data, 24, 6, 64},
    {0x2C, TCacheLevel::L1Data, 32, 8, 64},         {0x60, TCacheLevel::L1Data, 16, 8, 64},
    {0x66, TCacheLevel::L1Data, 8, 4, 64},          {0x67, TCacheLevel::L1Data, 16, 4, 64},
    {0x68, TCacheLevel::L1Data, 32, 4, 64},         {0x1D, TCacheLevel::L2, 128, 2, 64},
    {0x21, TCacheLevel::L2, 256, 8, 64},            {0x24, TCacheLevel::L2, 1024, 16, 64},
    {0x39, TCacheLevel::L2, 128, 4, 64},            {0x3A, TCacheLevel::L2, 192, 6, 64},
    {0x3B, TCacheLevel::L2, 128, 2, 64},            {0x3C, TCacheLevel::L2, 256, 4, 64},
    {0x3D, TCacheLevel::L2, 384, 6, 64},            {0x3E, TCacheLevel::L2, 512, 4, 64},            {0x40, TCacheLevel::L2, 0, 0, 0},
    {0x41, TCacheLevel::L2, 128, 4, 32},            {0x42, TCacheLevel::L2, 256, 4, 32},
    {0x43, TCacheLevel::L2, 512, 4, 32},            {0x44, TCacheLevel::L2, 1024, 4, 32},
    {0x45, TCacheLevel::L2, 2048, 4, 32},           {0x48, TCacheLevel::L2, 3072, 12, 64},
    {0x49, TCacheLevel::L2, 4096, 16, 64},          {0x4E, TCacheLevel::L2, 6144, 24, 64},
    {0x78, TCacheLevel::L2, 1024, 4, 64},           {0x79, TCacheLevel::L2, 128, 8, 64},
    {0x7A, TCacheLevel::L2, 256, 8, 64},            {0x7B, TCacheLevel::L2, 512, 8, 64},
    {0x7C, TCacheLevel::L2, 1024, 8, 64},           {0x7D, TCacheLevel::L2, 2048, 8, 64},
    {0x7F, TCacheLevel::L2, 512, 2, 64},            {0x80, TCacheLevel::L2, 512, 8, 64},
    {0x82, TCacheLevel::L2, 256, 8, 32},            {0x83, TCacheLevel::L2, 512, 8, 32},
    {0x84, TCacheLevel::L2, 1024, 8, 32},           {0x85, TCacheLevel::L2, 2048, 8, 32},
    {0x86, TCacheLevel::L2, 512, 4, 64},            {0x87, TCacheLevel::L2, 1024, 8, 64},
    {0x22, TCacheLevel::L3, 512, 4, 64},            {0x23, TCacheLevel::L3, 1024, 8, 64},
    {0x25, TCacheLevel::L3, 2048, 8, 64},           {0x29, TCacheLevel::L3, 4096, 8, 64},            {0x40, TCacheLevel::L3, 0, 0, 0},
    {0x46, TCacheLevel::L3, 4096, 4, 64},           {0x47, TCacheLevel::L3, 8192, 8, 64},
    {0x4A, TCacheLevel::L3, 6144, 12, 64},          {0x4B, TCacheLevel::L3, 8192, 16, 64},
    {0x4C, TCacheLevel::L3, 12288, 12, 64},         {0x4D, TCacheLevel::L3, 16384, 16, 64},
    {0xD0, TCacheLevel::L3, 512, 4, 64},            {0xD1, TCacheLevel::L3, 1024, 4, 64},
    {0xD2, TCacheLevel::L3, 2048, 4, 64},           {0xD6, TCacheLevel::L3, 1024, 8, 64},
    {0xD7, TCacheLevel::L3, 2048, 8, 64},           {0xD8, TCacheLevel::L3, 4096, 8, 64},
    {0xDC, TCacheLevel::L3, 1536, 12, 64},          {0xDD, TCacheLevel::L3, 3072, 12, 64},
    {0xDE, TCacheLevel::L3, 6144, 12, 64},          {0xE2, TCacheLevel::L3, 2048, 16, 64},
    {0xE3, TCacheLevel::L3, 4096, 16, 64},          {0xE4, TCacheLevel::L3, 8192, 16, 64},
    {0xEA, TCacheLevel::L3, 12288, 24, 64},         {0xEB, TCacheLevel::L3, 18432, 24, 64},
    {0xEC, TCacheLevel::L3, 24576, 24, 64},           {0x70, TCacheLevel::Trace, 12, 8, 0},
    {0x71, TCacheLevel::Trace, 16, 8, 0},             {0x72, TCacheLevel::Trace, 32, 8, 0},
};

}  // namespace

std::span<const TCacheDescriptor> CacheDescriptors() { return Descriptors; }

TCacheLevel LevelOn(const TCacheDescriptor& Descriptor, std::uint32_t Family, std::uint32_t Model) {
    return Descriptor.Code == 0x49 && Family == 15 && Model == 6 ? TCacheLevel::L3 : Descriptor.Level;
}


std::uint32_t AmdAssociativity(std::uint32_t Code) {
    static constexpr std::uint32_t ways[16] = {0, 1, 2, 0, 4, 0, 8, 0, 16, 0, 32, 48, 64, 96, 128, 255};
    return ways[Code & 0xF];
}

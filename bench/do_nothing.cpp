// The floor for the batch benchmark: a static program that only starts and
// exits, so the batch's cost of starting processes can be told apart.
int main()
{
    return 0;
}

// The program's entry. Start-up, the message loop and shutdown are added by the application core.
int main()
{
    return 0;
}

int parentOwn()
{
    return 1;
}
